// Platform halves of cuedump: the argument and standard output.
#pragma once
#include <string>
#include <string_view>

namespace cuedump {

// The sheet's path as given on the command line; false unless there is
// exactly one argument.
bool SheetArgument(int argc, char** argv, std::u16string* path);
// Writes bytes to standard output unchanged (no newline translation).
void WriteOut(std::string_view bytes);

}  // namespace cuedump
