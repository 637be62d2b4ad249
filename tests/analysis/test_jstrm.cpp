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
