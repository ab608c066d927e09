// Finding the cover picture beside an audio file or sheet.
#pragma once
#include <string>
#include <string_view>

namespace playlist {

// Looks in folder\Art\ and folder\ for PNG, then in both for JPEG, and takes the
// first listed picture named cover, front or folder (any letter case). Empty
// when there is none.
std::u16string FindCoverArt(std::u16string_view path);

}  // namespace playlist
