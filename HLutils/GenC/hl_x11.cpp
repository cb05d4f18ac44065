// The X11 record.
#include "GenC/hl_x11.h"

x11_struct x11{};
