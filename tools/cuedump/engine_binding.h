// Binding of the real engine library for the command-line tools: the same
// entries the player binds, filled by export name.
#pragma once
#include <string>

namespace cuedump {

// Loads the engine library and its two plug-ins and fills support::Orvo.
// False with a reason when the engine itself cannot be had; a missing
// plug-in only leaves its entry empty, as in the player. Natively the
// libraries are found on the loader's search path; on Windows beside the
// executable.
bool BindEngine(std::string* error);

}  // namespace cuedump
