#include "playlist/view.h"

namespace playlist {

namespace {
PlaylistView Quiet;
PlaylistView* Current = &Quiet;
}  // namespace

PlaylistView& View() { return *Current; }

void SetPlaylistView(PlaylistView* view) { Current = view ? view : &Quiet; }

}  // namespace playlist
