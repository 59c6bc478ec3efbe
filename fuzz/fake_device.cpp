// The serial port backend and the clock of the fuzz build of the component,
// linked in place of serial_posix.cpp and clock_posix.cpp. The port answers
// from a byte script the fuzzer hands over, and time is virtual: a wait for
// silence advances the clock instead of sleeping, so one execution takes
// microseconds whatever the printer (does not) say.
//
// Every frame the component writes is checked here: well formed (length
// byte, checksum, trailer), no longer than a frame can be, no NUL byte in
// its data. A breach aborts, which the fuzzer reports as a finding.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "device/clock.h"
#include "device/frame.h"
#include "device/serial_port.h"

namespace {

struct PortScript {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
  uint64_t frames = 0;
};
PortScript script;

uint64_t virtualNow = 0;

void require(bool ok) {
  if (!ok) std::abort();
}

void checkRequest(const uint8_t* frame, size_t size) {
  using namespace ostrel::frame;
  require(size >= kRequestOverhead && size <= kMaxFrameData + kRequestOverhead);
  const size_t n = size - kRequestOverhead;
  require(frame[0] == kStart && frame[size - 1] == kEnd && frame[size - 6] == kEndData);
  require(frame[1] == static_cast<uint8_t>((n + 4) % 256 + 0x20));
  require(frame[2] >= 0x20 && frame[2] < 0x20 + 95);
  uint16_t sum = 0;
  for (size_t i = 1; i < size - 5; ++i) sum = static_cast<uint16_t>(sum + frame[i]);
  for (int k = 0; k < 4; ++k) require(frame[size - 5 + k] == 0x30 + ((sum >> (12 - 4 * k)) & 0x0F));
  // The data field carries no NUL byte.
  for (size_t i = 4; i < 4 + n; ++i) require(frame[i] != 0);
  ++script.frames;
}

class FakeClock final : public ostrel::Clock {
 public:
  uint64_t monotonicMs() override { return virtualNow; }
  uint32_t calendarSeconds() override { return 1700000000u; }
  void sleepMs(uint32_t ms) override { virtualNow += ms; }
};

class FakePort final : public ostrel::SerialPort {
 public:
  uint8_t open(const std::string& device, uint32_t) override {
    if (device.empty()) return ostrel::kOpenFailed;
    open_ = true;
    hungUp_ = false;
    return ostrel::kOpenOk;
  }
  bool isOpen() const override { return open_; }
  bool close() override {
    open_ = false;
    return true;
  }
  bool writeAll(const uint8_t* data, size_t size) override {
    if (!open_ || hungUp_) return false;
    checkRequest(data, size);
    return true;
  }
  int readSome(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override {
    if (!open_ || hungUp_) return -1;
    if (script.at >= script.size) {
      virtualNow += timeoutMs;  // silence for the whole wait
      return 0;
    }
    const uint8_t action = script.data[script.at++];
    if (action == 0xFE) {  // the device vanishes
      hungUp_ = true;
      return -1;
    }
    if (action == 0xFF) {  // a quiet spell
      virtualNow += timeoutMs;
      return 0;
    }
    size_t n = static_cast<size_t>(action % 48) + 1;
    if (n > capacity) n = capacity;
    if (n > script.size - script.at) n = script.size - script.at;
    std::memcpy(buffer, script.data + script.at, n);
    script.at += n;
    virtualNow += action / 48;  // a few virtual milliseconds between pieces
    return static_cast<int>(n);
  }

 private:
  bool open_ = false;
  bool hungUp_ = false;
};

}  // namespace

namespace ostrel {

std::unique_ptr<SerialPort> createSystemSerialPort() { return std::make_unique<FakePort>(); }
// The fake port never fails to open, so there is nothing to ask again.
OpenFailure probeOpenFailure(const std::string&) { return OpenFailure::Other; }

Clock& systemClock() {
  static FakeClock clock;
  return clock;
}

const Timings& linkTimings() {
  static const Timings timings{400, 10, 30, 100};
  return timings;
}

}  // namespace ostrel

// The fuzzer's handle on the fake port: the bytes every port answers from,
// read in order across ports and calls. Returns the number of request frames
// checked so far.
extern "C" __attribute__((visibility("default"))) uint64_t OstrelFuzzPortScript(const uint8_t* data, size_t size) {
  script.data = data;
  script.size = size;
  script.at = 0;
  return script.frames;
}
