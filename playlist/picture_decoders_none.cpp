// Builds without libpng and libjpeg load no cover pictures: the view keeps its
// backdrop.
#include "playlist/cover_view.h"

namespace playlist {

bool CoverDecodersAvailable() { return false; }

bool DecodeCoverPicture(std::string_view, CoverPicture*) { return false; }

}  // namespace playlist
