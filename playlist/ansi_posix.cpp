#include "playlist/ansi.h"

namespace playlist {

std::u16string DecodeAnsiText(std::string_view bytes) { return DecodeWindows1252(bytes); }

}  // namespace playlist
