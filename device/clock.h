// Time as the device link sees it: a monotonic millisecond tick for the
// silence limit, the calendar clock for the first frame sequence number, and
// pauses. Injected so tests can run the link's waits in milliseconds.
#pragma once

#include <cstdint>

namespace ostrel {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t monotonicMs() = 0;
  // Seconds since 1970, low 32 bits.
  virtual uint32_t calendarSeconds() = 0;
  virtual void sleepMs(uint32_t ms) = 0;
};

// The operating system's clocks.
Clock& systemClock();

// The waits of the link. The product uses 60000 ms of silence before an
// exchange gives up, 1000 ms after closing a port, 3000 ms between the
// last-receipt query and its copy, and resends a request after 1000 ms of
// quiet without its answer.
struct Timings {
  uint32_t silenceLimitMs;
  uint32_t closePauseMs;
  uint32_t copyPauseMs;
  uint32_t resendIntervalMs;
};

// Chosen at link time: the product library links the real values, the
// test build of the same sources links short ones (see timings_*.cpp).
const Timings& linkTimings();

}  // namespace ostrel
