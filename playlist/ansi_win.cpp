#include <windows.h>

#include "playlist/ansi.h"

namespace playlist {

std::u16string DecodeAnsiText(std::string_view bytes) {
  if (bytes.empty()) return {};
  // Sheets are capped far below the int range the conversion takes.
  const int size = static_cast<int>(bytes.size());
  const int wide = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (wide <= 0) return {};
  std::u16string out(static_cast<size_t>(wide), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data()), wide);
  return out;
}

}  // namespace playlist
