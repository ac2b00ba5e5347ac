// Placeholders until the file dialogs and clipboard pictures are merged.
#include "kaplo.h"
void KPL_CopyImageToClipboard(int) {}
void KPL_PasteImageAt(int, int, int) {}
int KPL_PickPlacement(int, int, int, int*, int*) {
    return 2;
}
