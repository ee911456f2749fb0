// util sits at the bottom: an include of platform must not compile here.
#include "platform/platform.h"
