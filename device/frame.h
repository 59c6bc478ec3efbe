// The printer's serial frames, as pure functions over bytes: no port, no
// clock. Request layout: 01 len seq cmd data 05 c1 c2 c3 c4 03, where
// len = ((n + 4) mod 256) + 0x20, seq = (counter mod 95) + 0x20 and c1..c4 are
// the nibbles of the 16-bit sum of len..05, each plus 0x30.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "device/answer.h"

namespace ostrel::frame {

constexpr uint8_t kStart = 0x01;
constexpr uint8_t kEndData = 0x05;
constexpr uint8_t kEnd = 0x03;
constexpr uint8_t kStatusSeparator = 0x04;
constexpr uint8_t kSyn = 0x16;
constexpr uint8_t kNak = 0x15;

// The longest data text one frame can carry (the length byte's range).
constexpr size_t kMaxFrameData = 219;
constexpr size_t kRequestOverhead = 10;

uint8_t sequenceByte(uint32_t counter);

// Writes the request frame into `out` and returns its length (data + 10), or
// 0 when the data is longer than kMaxFrameData or does not fit `capacity`.
size_t buildRequest(uint8_t command, uint32_t counter, std::string_view data, uint8_t* out, size_t capacity);

// Incremental reader of one answer. Leading SYN bytes are counted, not
// stored; the frame is stored from its 0x01 up to a fixed capacity (bytes
// beyond it are dropped, never written). The answer is complete when the first
// byte after the SYNs is 0x01 and the last byte received so far is 0x03. Any
// other first byte (a NAK, junk) means no answer will complete.
class AnswerReader {
 public:
  static constexpr size_t kCapacity = 8192;

  enum class State { NeedMore, Complete, Broken };

  void reset();
  // Feeds the next piece and reports the state after it.
  State feed(const uint8_t* data, size_t size);
  State state() const { return state_; }
  int synCount() const { return synCount_; }
  const uint8_t* frame() const { return buffer_; }
  size_t frameSize() const { return stored_; }

 private:
  uint8_t buffer_[kCapacity];
  size_t stored_ = 0;
  int synCount_ = 0;
  bool started_ = false;
  uint8_t last_ = 0;
  State state_ = State::NeedMore;
};

// Parses a complete answer frame (starting at its 0x01) into `out`: error
// code, fields (at most 20, each cut to 149 bytes), status bytes. The scan
// stops at a NUL byte or at the end of the bytes. `out.timedOut` is cleared;
// the status bytes are 0 unless the frame carries them.
void parseAnswer(const uint8_t* frame, size_t size, int frameStart, Answer& out);

}  // namespace ostrel::frame
