// A create call's file name in the forms the decoders open: UTF-8 everywhere
// (the file protocol of the ALAC demuxer takes UTF-8 on every platform) and,
// on Windows, the caller's UTF-16 for the wide opens.
#pragma once
#include <string>

#include "decoder.h"

namespace orvo {

class PathText {
 public:
  // unicode: name is NUL-terminated UTF-16, else NUL-terminated UTF-8.
  // False for an empty name.
  bool Set(const void* name, bool unicode);
  FilePath Get() const { return FilePath{utf8_.c_str(), wide_.empty() ? nullptr : wide_.c_str()}; }

 private:
  std::string utf8_;
  std::wstring wide_;
};

// Conversions that replace what cannot be encoded by U+FFFD.
std::string Utf16ToUtf8(const char16_t* text);
std::u16string Utf8ToUtf16(const char* text);

}  // namespace orvo
