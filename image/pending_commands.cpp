// Placeholders until the tools and the remaining commands of the process menu
// are merged.
#include "image/commands.h"
#include "kaplo.h"

namespace kaplo {
bool measurement_command(platform::WindowId, int32_t) {
    return false;
}
}  // namespace kaplo

int KPL_PickPoint(int, int*, int*) {
    return 1;
}
int KPL_PickRow(int, int*, int*) {
    return 1;
}
int KPL_PickColumn(int, int*, int*) {
    return 1;
}
int KPL_PickLine(int, int*, int*, int*, int*) {
    return 1;
}
int KPL_PickBox(int, int*, int*, int*, int*) {
    return 1;
}
int KPL_PickCircle(int, int*, int*, int*) {
    return 1;
}
