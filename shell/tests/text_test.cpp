#include "shell/text.h"

#include <gtest/gtest.h>

namespace shell {
namespace {

TEST(Text, RoundTripsEveryPlane) {
  const std::u16string text = u"Ab \u00e9\u00df \u0416\u043e \u65e5\u672c\u8a9e \U0001F3B5";
  EXPECT_EQ(Utf16FromUtf8(Utf8FromUtf16(text)), text);
  EXPECT_EQ(Utf8FromUtf16(u"\u00e9\U0001F3B5"), "\xC3\xA9\xF0\x9F\x8E\xB5");
}

TEST(Text, BrokenInputBecomesReplacementCharacters) {
  struct Case {
    std::string utf8;
    std::u16string expected;
  } cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xC3", u"\uFFFD"},                 // cut short at the end
      {"\xE6\x97", u"\uFFFD\uFFFD"},       // cut short, two bytes left over
      {"\xC0\xAF", u"\uFFFD\uFFFD"},       // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16FromUtf8(c.utf8), c.expected) << c.utf8;
  EXPECT_EQ(Utf8FromUtf16(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace shell
