#include <cerrno>
#include <ctime>

#include "device/clock.h"

namespace ostrel {

namespace {

class PosixClock final : public Clock {
 public:
  uint64_t monotonicMs() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  }

  uint32_t calendarSeconds() override { return static_cast<uint32_t>(static_cast<uint64_t>(time(nullptr))); }

  void sleepMs(uint32_t ms) override {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    // A signal cuts the sleep short; sleep out what is left.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }
};

}  // namespace

Clock& systemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace ostrel
