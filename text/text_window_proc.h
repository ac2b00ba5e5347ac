#pragma once
#include <cstdint>

#include "platform/platform.h"

namespace kaplo {

// The procedure of the "kpl_twi" window kind.
intptr_t text_window_proc(platform::WindowId window, platform::Message& msg);

}  // namespace kaplo
