// Placeholders until the tools and commands of the process menu are merged.
#include "image/commands.h"
#include "kaplo.h"

namespace kaplo {
bool image_command(platform::WindowId, int32_t) {
    return false;
}
bool text_command(platform::WindowId, int32_t) {
    return false;
}
}  // namespace kaplo
