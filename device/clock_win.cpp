#include <windows.h>

#include <ctime>

#include "device/clock.h"

namespace ostrel {

namespace {

class WindowsClock final : public Clock {
 public:
  uint64_t monotonicMs() override { return GetTickCount64(); }

  uint32_t calendarSeconds() override { return static_cast<uint32_t>(static_cast<uint64_t>(time(nullptr))); }

  void sleepMs(uint32_t ms) override { Sleep(ms); }
};

}  // namespace

Clock& systemClock() {
  static WindowsClock clock;
  return clock;
}

}  // namespace ostrel
