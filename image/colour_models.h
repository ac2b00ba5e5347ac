#pragma once
// Luminance and colour-difference components of 32-bit pixel values
// (kaplo::luminance, chroma_cr, chroma_cb, chroma_u, chroma_v, chroma_i,
// chroma_q): public, with KPL_RgbToYCrCb, KPL_RgbToYuv and KPL_RgbToYiq, in
// kaplo_image.h.

#include "kaplo.h"
