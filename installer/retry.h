// Retry pacing: a network slot whose request failed starts no new request
// until a second has passed, so a dead server is neither hammered nor fills
// the log. The download streams and the list phases (frame.h) both pace
// their slots here, and run_frame tells the window when the next retry is due.
//
// Also what the list phases keep of a failed list for the status message. An
// archive that does not unpack is alerted once for each error; its retries
// stay quiet and the status message tells it until the archive unpacks.
#pragma once

#include <cstdint>
#include <string>

constexpr double kRetrySeconds = 1.0;
// 1 when slot may start a request now.
int slot_may_start(int slot);
// Records a failure of slot at the current time.
void slot_failed(int slot);
// Forgets every recorded failure, and the list's unpacking failure.
void slot_failures_clear();
// Microseconds from now (the clock's microsecs) until the first slot's retry
// is due, -1 when none is waiting.
long slot_retry_due_us(std::uint64_t now);

// Microseconds from now until `after` has passed since `since`; -1 once it
// has (what is already due is started by its own step, or no longer wanted).
long due_in_us(std::uint64_t now, std::uint64_t since, std::uint64_t after);
// The sooner of two due times; -1 is none.
long sooner_due(long a, long b);

struct list_fetch_struct {
    int unpack_error = 0;      // the last unpacking error; 0 when none since a success
    std::string unpack_server; // the server the archive came from
};
extern list_fetch_struct list_fetch;
