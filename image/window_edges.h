#pragma once
// The table of window edges that image windows snap to while they are
// dragged. It must be rebuilt whenever an image window changes its size or
// is made again (rotations, rescaling, zoom). Worker thread only.

namespace kaplo {

// Rebuilds the edge table from the image windows as they are now. Nothing
// snaps yet, so there is no table: this is where snapping fills it in.
void rebuild_window_edges();

}  // namespace kaplo
