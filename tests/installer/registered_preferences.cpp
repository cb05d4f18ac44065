// The program registers its preferences first thing in main; the tests start
// with them registered too.
#include "installer/utils.h"

namespace
{

const int registered = (register_preferences(), 0);

} // namespace
