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

  // At most this many resends of one request. The printer answers a resend
  // from memory, so a resend costs time, never a second run; each resend on
  // quiet costs one resend interval, so six keep the worst exchange that
  // recovers within about seven intervals, far inside the silence limit. A
  // line that spoils seven frames in a row is broken, not noisy: with one
  // frame in seven spoiled, an exchange still fails about once in a million.
  static constexpr int kMaxResends = 6;

  // Sends one request on `port` and reads its answer into answer(). The
  // answer is a frame with the right length byte and checksum whose sequence
  // and command bytes are the request's; frames with another sequence byte
  // (late answers to earlier requests) are dropped. The same frame, with the
  // same sequence byte, goes out again at once on a NAK or on a frame of our
  // sequence that fails the checks, and after the resend interval of quiet.
  // Ends in the time-out state when the port is missing or not open, when a
  // write or a read fails, or after the silence limit without a byte (once
  // the resends are used up, spoiled frames are dropped and the wait goes
  // on). Returns false (and changes nothing) only when the data is longer
  // than a frame can carry.
  //
  // With Accept::AnyCommand a whole frame of our sequence counts whatever
  // its command byte: the printer's repeat of a frame it served under that
  // byte before is then an answer too.
  enum class Accept { OurCommand, AnyCommand };
  bool exchange(SerialPort* port, uint8_t command, std::string_view data, Accept accept = Accept::OurCommand);

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
