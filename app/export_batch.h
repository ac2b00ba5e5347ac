#pragma once
// A batch export: every input converted into DIR/NAME-3d.EXT, one after
// another, with one progress display for the whole batch, one line for each
// file that fails (the rest go on) and a summary line at the end.
//
// Threads: one thread at a time.

#include <string>
#include <vector>

#include "depth_export.h"

namespace depth {

struct BatchRequest {
    std::string folder;               // DIR: made when missing
    std::string extension = "mp4";    // avi, mp4, mkv or mov
    bool overwrite = false;           // false: an existing output is left alone
    std::vector<std::string> inputs;  // at least one
    ExportRequest options;            // layout, depth scale, codec, quality; no output or input
};

// The output name of `input` in the batch: DIR/NAME-3d.EXT, NAME being the
// input's file name without its extension.
std::string batch_output_name(const BatchRequest& batch, const std::string& input);

// 0 when every file was converted, kExportFailed when any failed or was
// skipped, 128 + the signal's number when interrupted.
int export_batch(const BatchRequest& batch);

}  // namespace depth
