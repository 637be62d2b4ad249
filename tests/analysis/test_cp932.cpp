// The program's CP932 <-> Unicode table against the system's iconv, which the conversions used
// to go through: the same characters, the same choice among CP932's duplicates.
#include <gtest/gtest.h>

#include <string>

#include "common/Cp932.h"
#include "support/Support.h"

using testsupport::Iconv;

TEST(Cp932, EveryCharacterAsIconvHasIt) {
  std::string all;
  for (unsigned b = 0x01; b <= 0xFF; ++b)
    if (quillet::cp932::Defined(b)) all += static_cast<char>(b);
  size_t doubles = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead)
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
      if (quillet::cp932::Defined(lead << 8 | trail)) {
        all += static_cast<char>(lead);
        all += static_cast<char>(trail);
        ++doubles;
      }
  EXPECT_GT(doubles, 7900u);  // JIS X 0208, the NEC and IBM extensions, the user-defined area
  const std::string utf8 = Iconv(all, "CP932", "UTF-8");
  EXPECT_EQ(quillet::ToUtf8(all), utf8);
  std::string back;
  ASSERT_TRUE(quillet::TryFromUtf8(utf8, back));
  EXPECT_EQ(back, Iconv(utf8, "UTF-8", "CP932"));  // duplicates: the code Windows writes
  // The characters that tell CP932 from plain Shift_JIS.
  EXPECT_EQ(quillet::ToUtf8("\x81\x60\x81\x5F"), "\xEF\xBD\x9E\xEF\xBC\xBC");  // U+FF5E U+FF3C
  // Bytes with no CP932 meaning become U+FFFD one at a time; what follows is read afresh.
  EXPECT_EQ(quillet::ToUtf8("\x80" "A\x81\x20\x85\x40\xFD\x82"), "\xEF\xBF\xBD" "A\xEF\xBF\xBD \xEF\xBF\xBD@\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_FALSE(quillet::TryFromUtf8("\xC3\xA9", back));  // é has no CP932 form
  EXPECT_FALSE(quillet::TryFromUtf8("\xE3\x81", back));  // not UTF-8
}
