#include "playlist/names.h"

namespace playlist {

namespace {
constexpr size_t kListTitleLength = 90;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }
}  // namespace

bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string_view FolderOf(std::u16string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1])) return path.substr(0, i);
  }
  return {};
}

std::u16string_view FileNameOf(std::u16string_view path) { return path.substr(FolderOf(path).size()); }

std::u16string_view ExtensionOf(std::u16string_view path) {
  const std::u16string_view name = FileNameOf(path);
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string_view{} : name.substr(dot + 1);
}

std::u16string_view TitleOf(std::u16string_view path) {
  const std::u16string_view name = FileNameOf(path);
  const size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? name : name.substr(0, dot);
}

std::u16string UpperAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return out;
}

std::u16string LowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

std::u16string ListTitleOf(std::u16string_view title) {
  return std::u16string(title.substr(0, kListTitleLength));
}

std::u16string FormatDurationText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  std::string minutes = std::to_string(seconds / 60);
  if (minutes.size() > 3) minutes.resize(3);
  minutes.insert(0, 3 - minutes.size(), ' ');
  const int64_t rest = seconds % 60;
  return Ascii(minutes + ":" + (rest < 10 ? "0" : "") + std::to_string(rest));
}

std::u16string RateLabelText(int32_t rate) {
  // One decimal of the rate in kHz, rounded as a formatted float would be.
  const int64_t tenths = (static_cast<int64_t>(rate) + 50) / 100;
  return Ascii(std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " kHz");
}

}  // namespace playlist
