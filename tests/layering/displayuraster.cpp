// display lies below raster: an include of raster must not compile here.
#include "raster/pixels.h"
