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
    for (int i = 0; i < kNetSlots; ++i)
        if (retries.has_failed[i])
            due = sooner_due(due, due_in_us(now, retries.fail_us[i], kRetryUs));
    return due;
}

long due_in_us(std::uint64_t now, std::uint64_t since, std::uint64_t after)
{
    if (now - since >= after) return -1;
    return static_cast<long>(after - (now - since));
}

long sooner_due(long a, long b)
{
    if (a < 0) return b;
    if (b < 0) return a;
    return a < b ? a : b;
}
