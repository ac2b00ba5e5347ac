// A user program that reaches into the framework: it must not compile, since
// a user program sees only include/.
#include <kaplo.h>

#include "image/image_store.h"

void UserInit() {}
void UserMain() {}
