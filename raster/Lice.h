#pragma once
// The raster layer in one include: bitmaps, blits and drawing, image loading.
#include "raster/LiceBitmap.h"
#include "raster/LiceBlit.h"
#include "raster/LiceImageLoad.h"
