#include "path_text.h"

#include <cstdint>

namespace orvo {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += char16_t(c);
  } else {
    c -= 0x10000;
    out += char16_t(0xD800 | (c >> 10));
    out += char16_t(0xDC00 | (c & 0x3FF));
  }
}

}  // namespace

std::string Utf16ToUtf8(const char16_t* text) {
  std::string out;
  for (const char16_t* p = text; *p != 0; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf8ToUtf16(const char* text) {
  std::u16string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    unsigned char b = *p;
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    ++p;
    bool valid = extra >= 0;
    for (int i = 0; valid && i < extra; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (*p & 0x3F);
    }
    if (!valid || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) c = 0xFFFD;
    AppendUtf16(out, c);
  }
  return out;
}

bool PathText::Set(const void* name, bool unicode) {
  std::u16string utf16;
  if (unicode) {
    utf16 = static_cast<const char16_t*>(name);
    utf8_ = Utf16ToUtf8(utf16.c_str());
  } else {
    utf8_ = static_cast<const char*>(name);
    utf16 = Utf8ToUtf16(utf8_.c_str());
  }
#if defined(_WIN32)
  wide_.assign(utf16.begin(), utf16.end());
#else
  wide_.clear();
#endif
  return !utf8_.empty();
}

}  // namespace orvo
