// The program registers its preferences first thing in main; the tests start
// with them registered too.
#include "installer/app_hooks.h"

namespace
{

const int registered = (register_preferences(), 0);

} // namespace
