#include "GenH/hl_math.h"

#include <cstdio>
#include <cstdlib>

#include "GenH/hl_report.h"

// Where the range alert says it comes from.
static constexpr const char* kMathSource = "HLutils/GenH/hl_math";
static constexpr int kIntRandAlertLine = 345;

int int_rand(int lo, int hi)
{
    if (lo == hi) return lo;
    if (hi < lo) {
        char line2[100];
        std::snprintf(line2, sizeof line2, "lo=%1.0f hi=%1.0f", static_cast<double>(lo),
                      static_cast<double>(hi));
        __VOVARU_alert(0, "int rand range negative!", line2, "", "", t_exit, kMathSource,
                       kIntRandAlertLine);
        return lo;
    }
    const long long span = static_cast<long long>(hi) - lo + 1;
    return static_cast<int>(lo + std::rand() % span);
}
