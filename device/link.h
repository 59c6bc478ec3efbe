// The request/answer exchange with the printer over the current port.
#pragma once

#include <cstdint>
#include <string_view>

#include "device/answer.h"
#include "device/clock.h"
#include "device/frame.h"
#include "device/serial_port.h"

namespace ostrel {

class Link {
 public:
  Link(Clock& clock, const Timings& timings) : clock_(clock), timings_(timings) {}

  // The state after Init: counter 255, the answer of Answer::reset().
  void reset();

  // The step before a command's first exchange: 255 becomes the calendar
  // time in seconds, any other value grows by one.
  void advanceSequence();
  // The plain +1 step some methods take before a further exchange.
  void stepSequence() { ++sequenceCounter_; }
  uint32_t sequenceCounter() const { return sequenceCounter_; }
  void setSequenceCounter(uint32_t value) { sequenceCounter_ = value; }

  // Sends one request on `port` and reads one answer into answer(). No retry,
  // no purge before the write. Ends in the time-out state when the port is
  // missing or not open, when the write or a read fails, or after the silence
  // limit without a byte. Returns false (and changes nothing) only when the
  // data is longer than a frame can carry.
  bool exchange(SerialPort* port, uint8_t command, std::string_view data);

  const Answer& answer() const { return answer_; }
  Answer& answer() { return answer_; }

  Clock& clock() { return clock_; }
  const Timings& timings() const { return timings_; }

 private:
  Clock& clock_;
  const Timings& timings_;
  uint32_t sequenceCounter_ = 0xFFFFFFFFu;  // -1 until Init
  Answer answer_;
  // Kept here rather than on the stack: it holds a whole answer frame.
  frame::AnswerReader reader_;
};

}  // namespace ostrel
