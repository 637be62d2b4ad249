#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "analysis/Check.h"
#include "analysis/jstrm.h"
#include "common/Cp932.h"

using quillet::FromUtf8;

namespace {

// The value of a text that must parse; a failed parse fails the test.
int32_t Parsed(std::string_view text) {
  int32_t value = 12345;
  EXPECT_TRUE(ParseWholeNumber(text, value)) << '"' << text << '"';
  return value;
}

bool Parses(std::string_view text) {
  int32_t value = 0;
  return ParseWholeNumber(text, value);
}

}  // namespace

TEST(ParseWholeNumber, DecimalWithinSigned32Bits) {
  EXPECT_EQ(Parsed("0"), 0);
  EXPECT_EQ(Parsed("7"), 7);
  EXPECT_EQ(Parsed("+7"), 7);
  EXPECT_EQ(Parsed("-12"), -12);
  EXPECT_EQ(Parsed("-0"), 0);
  EXPECT_EQ(Parsed("00042"), 42);
  EXPECT_EQ(Parsed("2147483647"), INT32_MAX);
  EXPECT_EQ(Parsed("+2147483647"), INT32_MAX);
  EXPECT_EQ(Parsed("-2147483647"), -INT32_MAX);
  EXPECT_EQ(Parsed("-2147483648"), INT32_MIN);
  // Leading zeros do not count towards the range.
  EXPECT_EQ(Parsed("000000000000002147483647"), INT32_MAX);

  EXPECT_FALSE(Parses("2147483648"));
  EXPECT_FALSE(Parses("+2147483648"));
  EXPECT_FALSE(Parses("-2147483649"));
  EXPECT_FALSE(Parses("4294967296"));   // would wrap to 0 in 32 bits
  EXPECT_FALSE(Parses("4294967303"));   // would wrap to 7 in 32 bits
  EXPECT_FALSE(Parses("18446744073709551623"));  // would wrap to 7 in 64 bits
  EXPECT_FALSE(Parses("99999999999999999999999999"));
}

TEST(ParseWholeNumber, HexWithOneToEightDigits) {
  EXPECT_EQ(Parsed("$0"), 0);
  EXPECT_EQ(Parsed("$1f"), 31);
  EXPECT_EQ(Parsed("$1F"), 31);
  EXPECT_EQ(Parsed("$aBcD"), 0xABCD);
  EXPECT_EQ(Parsed("$00000001"), 1);
  EXPECT_EQ(Parsed("$7FFFFFFF"), INT32_MAX);
  // Eight digits are taken as 32 bits, so the top half is negative.
  EXPECT_EQ(Parsed("$80000000"), INT32_MIN);
  EXPECT_EQ(Parsed("$FFFFFFFF"), -1);

  EXPECT_FALSE(Parses("$"));
  EXPECT_FALSE(Parses("$000000001"));  // nine digits, even with a small value
  EXPECT_FALSE(Parses("$123456789"));
  EXPECT_FALSE(Parses("$G"));
  EXPECT_FALSE(Parses("$1g"));
  EXPECT_FALSE(Parses("$-1"));
  EXPECT_FALSE(Parses("-$1"));
  EXPECT_FALSE(Parses("+$1"));
  EXPECT_FALSE(Parses("0x10"));
  EXPECT_FALSE(Parses("1F"));
}

TEST(ParseWholeNumber, NothingBesideTheDigits) {
  EXPECT_FALSE(Parses(""));
  EXPECT_FALSE(Parses("+"));
  EXPECT_FALSE(Parses("-"));
  EXPECT_FALSE(Parses("--1"));
  EXPECT_FALSE(Parses("+-1"));
  EXPECT_FALSE(Parses("1-"));
  EXPECT_FALSE(Parses("12a"));
  EXPECT_FALSE(Parses("1.0"));
  EXPECT_FALSE(Parses("1e3"));
  EXPECT_FALSE(Parses("1 2"));
  EXPECT_FALSE(Parses("1 "));  // callers trim; the parse itself does not
  EXPECT_FALSE(Parses(" 1"));
  EXPECT_FALSE(Parses("- 1"));
  EXPECT_FALSE(Parses(std::string("1\0", 2)));
  EXPECT_FALSE(Parses(std::string("$1\0", 3)));
  EXPECT_FALSE(Parses(FromUtf8("１")));  // full-width digits are normalised by callers, not here
  // A failed parse leaves the caller's value alone.
  int32_t value = 99;
  EXPECT_FALSE(ParseWholeNumber("2147483648", value));
  EXPECT_EQ(value, 99);
}

TEST(IsNiftyID, ThreeLettersAndFiveDigitsInAnyWidth) {
  EXPECT_TRUE(IsNiftyID("ABC12345"));
  EXPECT_TRUE(IsNiftyID("abc12345"));
  EXPECT_TRUE(IsNiftyID("aBz00000"));
  EXPECT_TRUE(IsNiftyID("ZZZ99999"));
  EXPECT_TRUE(IsNiftyID(FromUtf8("ＡＢＣ１２３４５")));
  EXPECT_TRUE(IsNiftyID(FromUtf8("ａｂｃ１２３４５")));
  EXPECT_TRUE(IsNiftyID(FromUtf8("ＡbＣ1２3４5")));
  EXPECT_TRUE(IsNiftyID(FromUtf8("ABC1234５")));
  // Whitespace and control bytes around the ID are trimmed, full-width spaces after normalising.
  EXPECT_TRUE(IsNiftyID(" ABC12345 "));
  EXPECT_TRUE(IsNiftyID("\tabc12345\r\n"));
  EXPECT_TRUE(IsNiftyID(std::string("\0ABC12345", 9)));
  EXPECT_TRUE(IsNiftyID(FromUtf8("　ABC12345　")));
  EXPECT_TRUE(IsNiftyID(FromUtf8("ABC12345　")));
}

TEST(IsNiftyID, WrongLength) {
  EXPECT_FALSE(IsNiftyID(""));
  EXPECT_FALSE(IsNiftyID("ABC1234"));      // a prefix of an ID
  EXPECT_FALSE(IsNiftyID(" ABC1234"));     // eight bytes, seven after trimming
  EXPECT_FALSE(IsNiftyID("ABC1234 "));
  EXPECT_FALSE(IsNiftyID("ABC123456"));
  EXPECT_FALSE(IsNiftyID("ABC12345X"));
  EXPECT_FALSE(IsNiftyID("ABC 12345"));
  EXPECT_FALSE(IsNiftyID(FromUtf8("ＡＢＣ1234")));   // ten bytes given, seven after normalising
  EXPECT_FALSE(IsNiftyID(FromUtf8("ABC12345ｱ")));    // kana grow to two bytes
  EXPECT_FALSE(IsNiftyID(FromUtf8("ABC1234５６")));
  EXPECT_FALSE(IsNiftyID(FromUtf8("ABC　12345")));   // an inner full-width space stays a byte
  EXPECT_FALSE(IsNiftyID("ABC12345\x81"));          // a lone lead byte at the end stays
}

TEST(IsNiftyID, WrongCharacters) {
  EXPECT_FALSE(IsNiftyID("ABCD1234"));
  EXPECT_FALSE(IsNiftyID("AB123456"));
  EXPECT_FALSE(IsNiftyID("ABC1234A"));
  EXPECT_FALSE(IsNiftyID("12345ABC"));
  // Bytes next to the letter and digit ranges.
  EXPECT_FALSE(IsNiftyID("@BC12345"));
  EXPECT_FALSE(IsNiftyID("AB[12345"));
  EXPECT_FALSE(IsNiftyID("`BC12345"));
  EXPECT_FALSE(IsNiftyID("AB{12345"));
  EXPECT_FALSE(IsNiftyID("ABC/2345"));
  EXPECT_FALSE(IsNiftyID("ABC1234:"));
  EXPECT_FALSE(IsNiftyID(FromUtf8("＠BC12345")));
  // The digits must be plain digits although the number parse knows signs and hex.
  EXPECT_FALSE(IsNiftyID("ABC+1234"));
  EXPECT_FALSE(IsNiftyID("ABC-1234"));
  EXPECT_FALSE(IsNiftyID("ABC$1234"));
  EXPECT_FALSE(IsNiftyID("ABC$ABCD"));
  EXPECT_FALSE(IsNiftyID("ABC1234F"));
  EXPECT_FALSE(IsNiftyID(FromUtf8("ＡＢＣ＋１２３４")));
  // Letters must be Latin: kana and other double-byte characters are not.
  EXPECT_FALSE(IsNiftyID(FromUtf8("アBC12345")));
  EXPECT_FALSE(IsNiftyID("\xC4" "BC12345"));  // 0xC4 is a single-byte kana in this code page
}

TEST(IsSmallNumber, OneToThreeCharactersThatParse) {
  EXPECT_TRUE(IsSmallNumber("1"));
  EXPECT_TRUE(IsSmallNumber("999"));
  EXPECT_TRUE(IsSmallNumber("000"));
  EXPECT_TRUE(IsSmallNumber("  12 "));
  EXPECT_TRUE(IsSmallNumber("-12"));  // no range check
  EXPECT_TRUE(IsSmallNumber("+7"));
  EXPECT_TRUE(IsSmallNumber("$1F"));
  EXPECT_TRUE(IsSmallNumber(FromUtf8("１２３")));    // six bytes given, three after normalising
  EXPECT_TRUE(IsSmallNumber(FromUtf8("　１　")));

  EXPECT_FALSE(IsSmallNumber(""));
  EXPECT_FALSE(IsSmallNumber("   "));
  EXPECT_FALSE(IsSmallNumber("1000"));
  EXPECT_FALSE(IsSmallNumber("$FFF"));
  EXPECT_FALSE(IsSmallNumber("-"));
  EXPECT_FALSE(IsSmallNumber("$"));
  EXPECT_FALSE(IsSmallNumber("1 2"));
  EXPECT_FALSE(IsSmallNumber("ABC"));
  EXPECT_FALSE(IsSmallNumber(FromUtf8("１２３４")));
}

TEST(IsTalkChannel, TalkOrOneToThirtyWithOptionalS) {
  for (const char* yes : {"TALK", "talk", " Talk ", "1", "30", "05", "+5", "12S", "5s", " 30s ", "$1E"})
    EXPECT_TRUE(IsTalkChannel(yes)) << yes;
  for (const char* no : {"", "  ", "TALKS", "TAL K", "0", "0S", "31", "31S", "-1", "S", "s", "1SS",
                         "S1", "1 S", "$1F"})
    EXPECT_FALSE(IsTalkChannel(no)) << no;
  // No width normalisation here, unlike the ID and small-number tests.
  EXPECT_FALSE(IsTalkChannel(FromUtf8("ＴＡＬＫ")));
  EXPECT_FALSE(IsTalkChannel(FromUtf8("３")));
}

TEST(IsNumber, ZeroOrGreaterAfterTrimming) {
  for (const char* yes : {"0", "-0", "42", " 42 ", "\t42\r", "00000", "2147483647", "$7FFFFFFF"})
    EXPECT_TRUE(IsNumber(yes)) << yes;
  for (const char* no : {"", "    ", "-1", "-2147483648", "$80000000", "$FFFFFFFF", "2147483648",
                         "4 2", "1a"})
    EXPECT_FALSE(IsNumber(no)) << no;
  // No normalisation: full-width digits and spaces are not numbers here.
  EXPECT_FALSE(IsNumber(FromUtf8("４２")));
  EXPECT_FALSE(IsNumber(FromUtf8("　42")));
}

namespace {

// Checks a fixed digit/separator pattern such as "NN/NN": the sample passes, and it fails when
// any single byte is replaced by a wrong one, when it is cut short, padded or extended.
void CheckFixedPattern(bool (*test)(std::string_view), const std::string& sample, char separator) {
  SCOPED_TRACE(sample);
  ASSERT_TRUE(test(sample));
  for (size_t i = 0; i < sample.size(); ++i) {
    const bool isSeparator = sample[i] == separator;
    const char other = separator == '/' ? ':' : '/';
    // Bytes just outside the digit range, the other separator and a space in every position.
    for (char wrong : {'/', ':', ' ', 'A', '-', other}) {
      if (wrong == sample[i]) continue;
      std::string changed = sample;
      changed[i] = wrong;
      EXPECT_FALSE(test(changed)) << changed;
    }
    if (isSeparator) {
      std::string digit = sample;
      digit[i] = '0';
      EXPECT_FALSE(test(digit)) << digit;
    } else {
      // Any digit is fine in a digit position: no range check.
      std::string nines = sample;
      nines[i] = '9';
      EXPECT_TRUE(test(nines)) << nines;
    }
  }
  EXPECT_FALSE(test(sample.substr(1)));
  EXPECT_FALSE(test(sample.substr(0, sample.size() - 1)));
  EXPECT_FALSE(test(" " + sample.substr(1)));
  EXPECT_FALSE(test(sample + " "));
  EXPECT_FALSE(test(" " + sample));
  EXPECT_FALSE(test(sample + "0"));
  EXPECT_FALSE(test(""));
}

}  // namespace

TEST(DatesAndTimes, FixedDigitLayouts) {
  CheckFixedPattern(IsDateYMD, "96/12/31", '/');
  CheckFixedPattern(IsTimeHMS, "23:59:07", ':');
  CheckFixedPattern(IsDateMD, "01/23", '/');
  CheckFixedPattern(IsTimeHM, "00:00", ':');
  EXPECT_TRUE(IsDateYMD("99/99/99"));
  EXPECT_TRUE(IsTimeHMS("99:99:99"));
  EXPECT_FALSE(IsDateMD("1/23"));
  EXPECT_FALSE(IsDateMD("01-23"));
  EXPECT_FALSE(IsTimeHM("1:23 "));
  EXPECT_FALSE(IsDateYMD("96/12/31/"));
  // Separator kinds are not interchangeable between date and time.
  EXPECT_FALSE(IsDateYMD("96:12:31"));
  EXPECT_FALSE(IsTimeHMS("23/59/07"));
  EXPECT_FALSE(IsDateMD("01:23"));
  EXPECT_FALSE(IsTimeHM("01/23"));
  // Full-width forms are not normalised.
  EXPECT_FALSE(IsDateMD(FromUtf8("０1/23")));
  EXPECT_FALSE(IsTimeHM(FromUtf8("01：23")));
}

namespace {

// Every text of up to `maxLength` bytes drawn from `alphabet`, passed to `visit`.
template <typename Visit>
void ForEachText(std::string_view alphabet, size_t maxLength, Visit visit) {
  std::string text;
  std::function<void()> extend = [&] {
    visit(std::string_view(text));
    if (text.size() == maxLength) return;
    for (const char c : alphabet) {
      text.push_back(c);
      extend();
      text.pop_back();
    }
  };
  extend();
}

}  // namespace

// IsNumber decides plain padded digit runs itself and leaves everything else to the general
// parse; the two must agree on every text, at the nine/ten digit edge too.
TEST(IsNumber, ShortcutAgreesWithTheGeneralParse) {
  ForEachText(std::string_view(" \t\0" "09-+$aF\x81x", 12), 5, [](std::string_view text) {
    int32_t v;
    const bool expected = ParseWholeNumber(Trim(text), v) && v >= 0;
    EXPECT_EQ(IsNumber(text), expected) << '"' << text << '"';
  });
  for (const char* text : {"999999999", " 999999999 ", "0000000000", "2147483647 ", " 2147483648",
                           "99999999999", "000000000000000000001"}) {
    int32_t v;
    EXPECT_EQ(IsNumber(text), ParseWholeNumber(Trim(text), v) && v >= 0) << text;
  }
}

// Plain ASCII skips the normalisation in IsSmallNumber; the answer must be the same as with it.
TEST(IsSmallNumber, AsciiShortcutAgreesWithNormalising) {
  ForEachText(" 019-+$aFz", 4, [](std::string_view text) {
    const std::string normal = JNormalize(text);
    const std::string_view t = Trim(normal);
    int32_t v;
    const bool expected = !t.empty() && t.size() <= 3 && ParseWholeNumber(t, v);
    EXPECT_EQ(IsSmallNumber(text), expected) << '"' << text << '"';
  });
}
