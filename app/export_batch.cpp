#include "export_batch.h"

#include <cstdio>

namespace depth {

std::string batch_output_name(const BatchRequest& batch, const std::string& input) {
    const size_t slash = input.rfind('/');
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    std::string folder = batch.folder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + name + "-3d." + batch.extension;
}

int export_batch(const BatchRequest& batch) {
    // One file after another; the batch display and summary come later.
    int failed = 0;
    for (const std::string& input : batch.inputs) {
        ExportRequest r = batch.options;
        const std::string output = batch_output_name(batch, input);
        r.input = input.c_str();
        r.output = output.c_str();
        const int code = export_video(r);
        if (code > 128) return code;
        if (code != kExportDone) ++failed;
    }
    return failed ? kExportFailed : kExportDone;
}

}  // namespace depth
