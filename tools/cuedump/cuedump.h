// Platform halves of cuedump: the engine library's binding, the argument and
// standard output.
#pragma once
#include <string>
#include <string_view>

namespace cuedump {

// Loads the engine library and its two plug-ins and fills support::Orvo.
// False with a reason when the engine itself cannot be had; a missing
// plug-in only leaves its entry empty, as in the player.
bool BindEngine(std::string* error);
// The sheet's path as given on the command line; false unless there is
// exactly one argument.
bool SheetArgument(int argc, char** argv, std::u16string* path);
// Writes bytes to standard output unchanged (no newline translation).
void WriteOut(std::string_view bytes);

}  // namespace cuedump
