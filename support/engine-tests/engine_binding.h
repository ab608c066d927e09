// Binds the engine's calls by name from the built libraries, as the program
// does: natively the shared objects, on Windows the DLLs in dist/.
#pragma once
#include <filesystem>
#include <string>

#include "support/bound_entries.h"

namespace enginetest {

// Fills support::Orvo; on failure returns false with the reason.
bool BindEngine(std::string* error);

// Folder of the generated media, in the platform's own form.
std::filesystem::path MediaFolder();

// Platform side: loads a library (0 engine, 1 FLAC plug-in, 2 ALAC plug-in)
// and finds exports in it; null when that fails.
void* LoadEngineLibrary(int which, std::string* error);
void* FindExport(void* library, const char* name);

}  // namespace enginetest
