// The control case: display includes its own folder and the folders below it.
#include "display/screen.h"
#include "platform/platform.h"
#include "util/dynarray.h"

int displaydown() { return screen.width; }
