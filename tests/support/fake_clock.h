// A fake time source for the clock: while a FakeClock lives, microsecs()
// and xtim read its time, which only moves when the test moves it.
//
//   FakeClock clock;          // stands still until moved
//   clock.advance(0.3);       // 0.3 s later
//   xtim.xtim_update();
#pragma once

#include <cstdint>

class FakeClock
{
  public:
    // One at a time. Starts at or after the real time, on a whole second of
    // microsecs(), then stands still; also forgets xtim_update's run state.
    FakeClock();
    ~FakeClock(); // back to the real clock
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    void advance(double seconds);
    void advance_us(std::uint64_t us);
    std::uint64_t raw_us() const; // what the raw clock reads now
};
