#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "cli/ConvertedTexts.h"

namespace {

int conversions = 0;

std::string Bracketed(std::string_view text) {
  ++conversions;
  return "[" + std::string(text) + "]";
}

// Short texts (handles, IDs), texts that agree in their first 16 bytes and differ after, the
// empty text, and enough of them that the table grows several times while earlier forms are
// still asked for.
TEST(ConvertedTexts, EachTextConvertedOnceAndFoundAgainAfterGrowth) {
  std::vector<std::string> texts{"", "a", std::string(1, '\0'), std::string("a\0", 2)};
  for (int i = 0; i < 5000; ++i) texts.push_back("handle" + std::to_string(i));
  for (int i = 0; i < 300; ++i) texts.push_back("0123456789abcdef-long-" + std::to_string(i));
  quillet::ConvertedTexts table(&Bracketed);
  conversions = 0;
  for (const std::string& text : texts) EXPECT_EQ(table.Of(text), "[" + text + "]");
  EXPECT_EQ(conversions, static_cast<int>(texts.size()));
  EXPECT_EQ(table.size(), texts.size());
  // Again, backwards and each twice running: nothing converted anew, every form its own.
  for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
    EXPECT_EQ(table.Of(*it), "[" + *it + "]");
    EXPECT_EQ(table.Of(*it), "[" + *it + "]");
  }
  EXPECT_EQ(conversions, static_cast<int>(texts.size()));
}

}  // namespace
