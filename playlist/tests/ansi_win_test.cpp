#include <windows.h>

#include <gtest/gtest.h>

#include "playlist/ansi.h"

namespace playlist {
namespace {

// The run pins a locale whose ANSI code page is 1252 (see CMakeLists.txt), so
// the system decoding of sheets without a mark is known here.
TEST(AnsiSheets, SystemCodePageDecodesLikeWindows1252) {
  ASSERT_EQ(GetACP(), 1252u);
  const std::string bytes = "Caf\xE9 \x80 \x93x\x94 \x8A";
  EXPECT_EQ(DecodeAnsiText(bytes), DecodeWindows1252(bytes));
  EXPECT_EQ(DecodeAnsiText(bytes), u"Caf\u00e9 \u20ac \u201cx\u201d \u0160");
  EXPECT_EQ(DecodeAnsiText(""), u"");
}

}  // namespace
}  // namespace playlist
