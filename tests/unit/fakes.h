// Stand-ins the unit tests share: a clock the test moves, a port that only
// remembers whether it is open, and answer frames built with a right length
// byte and checksum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/clock.h"
#include "device/serial_port.h"

namespace ostrel::testing {

using Bytes = std::vector<uint8_t>;

class FakeClock : public Clock {
 public:
  uint64_t monotonicMs() override { return now; }
  uint32_t calendarSeconds() override { return calendar; }
  void sleepMs(uint32_t ms) override { now += ms; }

  uint64_t now = 1000000;
  uint32_t calendar = 1700000000;
};

// The open/closed part of a fake port; the test's port adds its traffic.
class OpenFlagPort : public SerialPort {
 public:
  uint8_t open(const std::string&, uint32_t) override {
    open_ = true;
    return kOpenOk;
  }
  bool isOpen() const override { return open_; }
  bool close() override {
    open_ = false;
    return true;
  }

 protected:
  bool open_ = false;
};

// An answer frame around `body` (error code, ';', fields...) and the status
// bytes, for sequence byte `seq` and command `command`.
inline Bytes answerFrame(const Bytes& body, const Bytes& status = {0x80, 0x80, 0x88, 0x80, 0x86, 0x80},
                         uint8_t seq = 0x25, uint8_t command = 0x80) {
  Bytes out{0x01, 0x00, seq, command};
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(0x04);
  out.insert(out.end(), status.begin(), status.end());
  out.push_back(0x05);
  out[1] = static_cast<uint8_t>(out.size() - 1 + 0x20);
  uint16_t sum = 0;
  for (size_t i = 1; i < out.size(); ++i) sum = static_cast<uint16_t>(sum + out[i]);
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(static_cast<uint8_t>(0x30 + ((sum >> shift) & 0x0F)));
  out.push_back(0x03);
  return out;
}

}  // namespace ostrel::testing
