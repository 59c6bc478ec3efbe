#include "command/context.h"

#include <cstring>

#include "command/call.h"
#include "command/text.h"
#include "device/errors.h"

namespace ostrel {

CommandContext::CommandContext(Clock& clock, const Timings& timings, PortFactory ports)
    : clock_(clock), timings_(timings), ports_(std::move(ports)), link_(clock, timings) {}

void CommandContext::reset() {
  link_.reset();
  primed_ = false;
  port_ = PortState{};
  portFailure_.clear();
  for (auto& slot : driver_.slots) slot = DeviceSlot{};
}

bool CommandContext::closePort(SerialPort& port) {
  bool closed = port.close();
  primed_ = false;
  if (port_.handle == &port) {
    port_.handle = nullptr;
    port_.open = false;
  }
  return closed;
}

void CommandContext::passThroughLastCmd(const Call& call, uint16_t mask) {
  for (int i = 15; i >= 0; --i) {
    if (mask & (1u << i)) {
      std::u16string text;
      if (call.text(i, text)) lastCmd_ = text;
      return;
    }
  }
}

void CommandContext::send(uint8_t code, std::string_view data, int advances) {
  for (int i = 0; i < advances; ++i) link_.advanceSequence();
  portFailure_.clear();
  if (!primed_ && !prime()) return;
  link_.exchange(port_.handle, code, data);
}

// A printer answers a frame whose sequence byte equals the last one it served
// from memory, without running it. A new instance's first byte comes from
// the clock and may meet the printer's last one, so before its first command
// a status request goes out with the byte just before the command's. The
// printer either serves it or repeats what it served under that byte (for
// any command: either is taken, and dropped), and in both cases its last
// byte is then the one before the command's, so the command's own byte is
// new for certain. When nothing comes back, the printer is not there: the
// command is not sent, and the time-out state stands for it.
bool CommandContext::prime() {
  const uint32_t counter = link_.sequenceCounter();
  link_.setSequenceCounter(counter - 1);
  link_.exchange(port_.handle, code::kStatus, std::string(kDefaultPassword) + ";", Link::Accept::AnyCommand);
  link_.setSequenceCounter(counter);
  primed_ = !link_.answer().timedOut;
  return primed_;
}

void CommandContext::sendNext(uint8_t code, std::string_view data) {
  link_.stepSequence();
  portFailure_.clear();
  link_.exchange(port_.handle, code, data);
}

bool CommandContext::accepted() const {
  return !link_.answer().timedOut && std::strcmp(link_.answer().errorCode, "0000") == 0;
}

std::u16string CommandContext::errorCodeText() const {
  const char* code = link_.answer().errorCode;
  size_t n = 0;
  while (n < 4 && code[n]) ++n;
  return WideFromAnsi(std::string_view(code, n));
}

std::u16string_view CommandContext::errorMessage() const {
  return deviceErrorMessage(errorCodeText(), link_.answer().timedOut);
}

SerialPort* CommandContext::findDevice(std::u16string_view identifier) {
  SerialPort* found = nullptr;
  for (auto& slot : driver_.slots) {
    if (slot.inUse && slot.identifier == identifier) found = slot.port.get();
  }
  return found;
}

}  // namespace ostrel
