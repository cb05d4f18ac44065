// Retry pacing of the network slots.
#include "installer/retry.h"

#include "OOPS_cpp/http.h"
#include "UTL/UTL_time.h"

namespace
{

// When each slot failed last, and whether it did since the last clearing.
struct retry_state {
    std::uint64_t fail_us[kNetSlots] = {};
    bool has_failed[kNetSlots] = {};
};
retry_state retries;

constexpr std::uint64_t kRetryUs = static_cast<std::uint64_t>(kRetrySeconds * 1000000);

} // namespace

list_fetch_struct list_fetch;

int slot_may_start(int slot)
{
    if (!retries.has_failed[slot]) return 1;
    return xtim_class::microsecs() - retries.fail_us[slot] >= kRetryUs;
}

void slot_failed(int slot)
{
    retries.has_failed[slot] = true;
    retries.fail_us[slot] = xtim_class::microsecs();
}

void slot_failures_clear()
{
    for (int i = 0; i < kNetSlots; ++i)
        retries.has_failed[i] = false;
    list_fetch = list_fetch_struct();
}

long slot_retry_due_us(std::uint64_t now)
{
    long due = -1;
    // One already due is started by its own step, or is no longer wanted.
    for (int i = 0; i < kNetSlots; ++i) {
        if (!retries.has_failed[i] || now - retries.fail_us[i] >= kRetryUs) continue;
        const long left = static_cast<long>(kRetryUs - (now - retries.fail_us[i]));
        if (due < 0 || left < due) due = left;
    }
    return due;
}
