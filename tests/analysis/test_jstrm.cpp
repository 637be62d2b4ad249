#include <gtest/gtest.h>

#include "analysis/jstrm.h"
#include "common/Cp932.h"
#include "common/Error.h"

using quillet::FromUtf8;

TEST(JNormalize, WidthsAndCaseBecomeOneForm) {
  EXPECT_EQ(JNormalize(FromUtf8("ａｂｃ１２３４５")), "ABC12345");
  EXPECT_EQ(JNormalize("abc12345"), "ABC12345");
  EXPECT_EQ(JNormalize(""), "");
  EXPECT_EQ(JNormalize(FromUtf8("ｶﾞｲﾄﾞ")), FromUtf8("ガイド"));
  EXPECT_EQ(JNormalize(FromUtf8("ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞ")), FromUtf8("パピプペポヴ"));
  // A mark after a kana without that form is dropped; a mark on its own stays.
  EXPECT_EQ(JNormalize(FromUtf8("ｱﾞｶﾟｰﾞ")), FromUtf8("アカー"));
  EXPECT_EQ(JNormalize(FromUtf8("Aﾞ")), FromUtf8("Aﾞ"));
  EXPECT_EQ(JNormalize(FromUtf8("｡｢｣､･ｦｧｯﾝ")), FromUtf8("。「」、・ヲァッン"));
}

TEST(JNormalize, WholeDoubleByteTable) {
  EXPECT_EQ(JNormalize(FromUtf8("　，．：；？！＾／～｜‘’“”（）［］｛｝＋－＝＜＞′″￥＄％＃＆＊＠〓")),
            " ,.:;?!^/~|''\"\"()[]{}+-=<>'\"\\$%#&*@=");
  EXPECT_EQ(JNormalize(FromUtf8("０１２３４５６７８９")), "0123456789");
  EXPECT_EQ(JNormalize(FromUtf8("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ")),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(JNormalize(FromUtf8("ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ")),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  // Characters outside the table stay double-byte.
  const std::string kept = FromUtf8("・＿＼漢字");
  EXPECT_EQ(JNormalize(kept), kept);
}

TEST(JNormalize, LoneLeadByteAtEndIsKept) {
  EXPECT_EQ(JNormalize("ab\x82"), "AB\x82");
  // A lead byte takes the next byte whatever it is.
  EXPECT_EQ(JNormalize(std::string("\x88" "a", 2)), std::string("\x88" "a", 2));
}

TEST(JTrim, SpacesOfBothWidths) {
  EXPECT_EQ(JTrim(FromUtf8(" 　 　")), "");
  EXPECT_EQ(JTrim(FromUtf8("　 abc 　")), "abc");
  EXPECT_EQ(JTrim("\tabc "), "\tabc");
  EXPECT_EQ(JTrim(""), "");
  // 0x40 that is a single '@' after a character whose second byte is 0x81 stays.
  const std::string tricky = std::string("\x88\x81") + "@";
  EXPECT_EQ(JTrim(tricky), tricky);
  const std::string endsInSpace = std::string("\x88\x9f\x81\x40");
  EXPECT_EQ(JTrim(endsInSpace), "\x88\x9f");
}

TEST(IsTrailByte, PositionsAndErrors) {
  const std::string a = FromUtf8("漢");
  EXPECT_FALSE(IsTrailByte(a, 1));
  EXPECT_TRUE(IsTrailByte(a, 2));
  EXPECT_THROW(IsTrailByte(a, 0), Error);
  EXPECT_THROW(IsTrailByte(a, 3), Error);
  try {
    IsTrailByte(a, 3);
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Illegal Index");
  }
  // A run of lead bytes: odd length before the position means a trail byte.
  EXPECT_TRUE(IsTrailByte("\x81\x81\x81\x81" "A", 4));
  EXPECT_FALSE(IsTrailByte("\x81\x81\x81\x81" "A", 5));
}

TEST(JNormalize, SecondByteOfAPairIsNeverTakenOnItsOwn) {
  // Trail bytes that would be a kana, a lower-case letter or the start of a full-width space
  // when read alone must stay inside their character.
  const std::string kanjiWithKanaTrail = "\x88\xB1";
  EXPECT_EQ(JNormalize(kanjiWithKanaTrail + "a"), kanjiWithKanaTrail + "A");
  const std::string pairThenAt = "\x88\x81" "@";
  EXPECT_EQ(JNormalize(pairThenAt), pairThenAt);
  const std::string pairThenBacktick = "\x88\x82" "`";
  EXPECT_EQ(JNormalize(pairThenBacktick), pairThenBacktick);
  // After a broken pair (lead byte + ASCII) the walk is back in step.
  EXPECT_EQ(JNormalize(std::string("\x81" "A") + FromUtf8("ｱ")), std::string("\x81" "A") + FromUtf8("ア"));
}

TEST(JNormalize, MarksAreConsumedOnceAndTheResultCanDouble) {
  EXPECT_EQ(JNormalize(FromUtf8("ｶﾞﾞ")), FromUtf8("ガﾞ"));
  EXPECT_EQ(JNormalize(FromUtf8("ﾞｶﾟﾟ")), FromUtf8("ﾞカﾟ"));
  EXPECT_EQ(JNormalize(FromUtf8("ｶ")), FromUtf8("カ"));  // a kana at the very end
  // Every byte a kana: the longest possible result.
  const std::string kana = FromUtf8("ｱ");
  std::string many, expected;
  for (int i = 0; i < 4096; ++i) {
    many += kana;
    expected += FromUtf8("ア");
  }
  EXPECT_EQ(JNormalize(many), expected);
}

TEST(JTrim, OnlyWholeFullWidthSpacesGo) {
  // 0x81 0x81 0x40: the 0x40 is an at sign after a complete character, not half a space.
  const std::string notSpace = "\x81\x81\x40";
  EXPECT_EQ(JTrim(notSpace), notSpace);
  EXPECT_EQ(JTrim(FromUtf8("　 \tx　 　 ")), FromUtf8("\tx"));
  EXPECT_EQ(JTrim("x\r\n"), "x\r\n");
  std::string inPlace = FromUtf8("　 x 　");
  JTrimLeft(inPlace);
  EXPECT_EQ(inPlace, FromUtf8("x 　"));
  JTrimRight(inPlace);
  EXPECT_EQ(inPlace, "x");
}

TEST(PlainHelpers, TrimUpperAndCaseBlindEquality) {
  EXPECT_EQ(Trim(std::string("\0\x1F a\tb \x20\r\n", 10)), "a\tb");
  const std::string fullWidth = FromUtf8("　a　");
  EXPECT_EQ(Trim(fullWidth), fullWidth);  // the plain trim stops at bytes above 0x20
  EXPECT_EQ(Trim(" \x7F "), "\x7F");
  EXPECT_EQ(Trim("   "), "");

  // Only ASCII letters change; a trail byte in the a-z range is a byte like any other here.
  EXPECT_EQ(UpperAscii("abz AZ {`@}"), "ABZ AZ {`@}");
  EXPECT_EQ(UpperAscii(FromUtf8("ａ")), FromUtf8("ａ"));

  EXPECT_TRUE(SameTextAscii("Band a", "BAND A"));
  EXPECT_TRUE(SameTextAscii("", ""));
  EXPECT_FALSE(SameTextAscii("abc", "abcd"));
  EXPECT_FALSE(SameTextAscii("[", "{"));  // differ by 0x20 but are not letters
  EXPECT_FALSE(SameTextAscii("@", "`"));
}
