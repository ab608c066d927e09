#include <cstdio>

#include "cuedump.h"
#include "shell/text.h"

namespace cuedump {

bool SheetArgument(int argc, char** argv, std::u16string* path) {
  if (argc != 2) return false;
  *path = shell::Utf16FromUtf8(argv[1]);
  return true;
}

void WriteOut(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

}  // namespace cuedump
