#pragma once
// Batch export: every frame of a video converted once, with the same pixel
// code as the interactive program, the "conv" view (2W x H, the stereo pair)
// written to a new video. No window is shown and no display is needed.

namespace depth {

// 0 done (also when the input stopped decoding early: what was converted is
// written, and a line says so); 1 the input cannot be read or the output
// cannot be written (one line on stderr). Progress goes to stderr.
int export_video(const char* output_path, const char* input_path);

}  // namespace depth
