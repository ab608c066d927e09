#include "playlist/files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "shell/text.h"

namespace playlist {

namespace fs = std::filesystem;

namespace {
fs::path ToPath(const std::u16string& path) {
#ifdef _WIN32
  const std::u16string system = ExtendedLengthPath(path);
  return fs::path(std::wstring(system.begin(), system.end()));
#else
  const std::string utf8 = shell::Utf8FromUtf16(path);
  return fs::path(utf8);
#endif
}
}  // namespace

bool ReadFileBytes(const std::u16string& path, size_t limit, std::string* out) {
  std::ifstream in(ToPath(path), std::ios::binary);
  if (!in) return false;
  std::string bytes;
  char block[65536];
  while (in) {
    in.read(block, sizeof block);
    const auto got = static_cast<size_t>(in.gcount());
    if (bytes.size() + got > limit) return false;
    bytes.append(block, got);
  }
  if (in.bad()) return false;
  *out = std::move(bytes);
  return true;
}

bool IsFolder(const std::u16string& path) {
  std::error_code ec;
  return fs::is_directory(ToPath(path), ec) && !ec;
}

std::u16string ExtendedLengthPath(std::u16string_view path) {
  std::u16string out(path);
  if (out.size() < 248 || out.rfind(u"\\\\?\\", 0) == 0) return out;
  for (char16_t& c : out) {
    if (c == u'/') c = u'\\';
  }
  if (out.size() > 2 && out[1] == u':' && out[2] == u'\\') out.insert(0, u"\\\\?\\");
  else if (out.rfind(u"\\\\", 0) == 0) out.replace(0, 2, u"\\\\?\\UNC\\");
  return out;
}

}  // namespace playlist
