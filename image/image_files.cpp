// Image files. The picture codecs are not connected yet: loading and saving
// check the current image and then report that no picture was exchanged.

#include "image/image_store.h"

namespace kaplo {
int32_t jpeg_quality = 100;
}  // namespace kaplo

int KPL_LoadImage(const char* file_name, int x, int y) {
    (void)file_name, (void)x, (void)y;
    if (!kaplo::image_live(kaplo::current_image())) return 2;
    return 1;
}

int KPL_SaveImage(int format, const char* file_name, int width, int height) {
    (void)format, (void)file_name;
    if (!kaplo::image_live(kaplo::current_image())) return 3;
    if (width == 0 || height == 0) return 2;
    return 1;
}
