// The four support libraries the program carries inside itself: written into
// a per-user folder at every start where missing or different, then loaded
// from there by full path and bound by export name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace shell {

// One library carried in the program's data.
struct CarriedLibrary {
  const char16_t* FileName;
  std::span<const uint8_t> Bytes;
};

// The carried copies, in the order they are written: orva, orvo, orvu, oraa.
std::span<const CarriedLibrary> CarriedLibraries();

// Full path of the per-user folder, ending in a backslash.
inline std::u16string UserDataFolder;

// The special folder with that identifier, ending in a backslash; empty when
// it cannot be resolved.
std::u16string GetUserDataFolder(int folderId);

// Writes the libraries into base + "Ambrell\am20\" (sets UserDataFolder).
// Reports nothing; failures show up when binding.
void InstallSupportLibraries();

// The same into a given base folder (ending in a backslash, or empty for the
// current folder); returns how many files it wrote, for tests.
int InstallSupportLibrariesInto(const std::u16string& base, std::span<const CarriedLibrary> libraries);

// Loads the four libraries from UserDataFolder and fills support::Orvo and
// support::Orva. Returns 0; on any failure it shows the library's message and
// ends the program.
int BindSupportLibraries();

}  // namespace shell
