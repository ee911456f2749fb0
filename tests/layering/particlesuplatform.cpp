// particles and platform stand side by side on util: neither may include the other.
#include "platform/platform.h"
