// The file side of the settings, split out so that tests can aim it at any
// folder and make a write fail part way.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "shell/settings.h"

namespace shell {

// Writes bytes to an open file; returns the count written, or -1.
using SettingsWriter = int64_t (*)(void* file, std::span<const uint8_t> bytes);

// Reads the settings file at path into LoadedSettings and SettingsValid.
void LoadSettingsFile(const std::u16string& path);

// Writes the record to path through a temporary file in the same folder that
// then replaces path in one step, so a failure part way leaves the old file
// whole. Only where no temporary file can be created is path rewritten in
// place. `writer` is the platform's write unless a test passes another.
// Returns whether the file now holds the record.
bool SaveSettingsFile(const std::u16string& path, const SettingsRecord& record, SettingsWriter writer = nullptr);

// The executable's folder, ending in a backslash.
std::u16string ExecutableFolder();

}  // namespace shell
