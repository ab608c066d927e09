// The argument in UTF-16 from the wide command line (argv is ANSI), standard
// output in binary mode so lines end in a bare line feed.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

#include "cuedump.h"

namespace cuedump {

bool SheetArgument(int, char**, std::u16string* path) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!args) return false;
  const bool one = count == 2;
  if (one) *path = std::u16string(args[1], args[1] + wcslen(args[1]));
  LocalFree(args);
  return one;
}

void WriteOut(std::string_view bytes) {
  static const bool binary = (_setmode(_fileno(stdout), _O_BINARY), true);
  (void)binary;
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace cuedump
