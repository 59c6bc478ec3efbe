// The printer's serial frames, as pure functions over bytes: no port, no
// clock. Request layout: 01 len seq cmd data 05 c1 c2 c3 c4 03, where
// len = ((n + 4) mod 256) + 0x20, seq = (counter mod 95) + 0x20 and c1..c4 are
// the nibbles of the 16-bit sum of len..05, each plus 0x30. An answer has the
// same envelope: 01 len seq cmd code ';' {field ';'} 04 s0..s5 05 c1..c4 03,
// its len being (the count of bytes from len through 05 + 0x20) mod 256.
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

// Incremental reader of the frames on the line. Between frames it counts and
// skips SYN bytes and any other noise, and reports a NAK byte. A frame runs
// from its 0x01 to a 0x03 that follows 0x05 and four checksum characters. The
// first kCapacity bytes of a frame are stored (the rest is dropped, never
// written), while its length byte and checksum are checked over all of it, so
// a frame of any size is judged whole or not. Every byte value, 0x00 too, is
// taken as it comes, so a frame that lost its end runs on into the next one
// and fails the checks.
class AnswerReader {
 public:
  static constexpr size_t kCapacity = 8192;

  enum class State {
    NeedMore,  // no frame or NAK yet
    Frame,     // a frame has ended: see whole(), sequence(), command()
    Nak,       // a NAK byte between frames
  };

  // Starts over: nothing read, no bytes ahead of a frame.
  void reset();
  // Reads `data` up to the byte that ends a frame or is a NAK, and returns
  // how many bytes it used; state() tells what they made.
  size_t feed(const uint8_t* data, size_t size);
  // Drops the frame or NAK just reported and goes on reading; its bytes
  // count as bytes ahead of the next frame.
  void next();

  State state() const { return state_; }
  // The bytes that came before the current frame's 0x01 since reset().
  int frameStart() const { return skipped_; }
  // The frame's length byte and checksum are right.
  bool whole() const { return whole_; }
  uint8_t sequence() const { return stored_ > 2 ? buffer_[2] : 0; }
  uint8_t command() const { return stored_ > 3 ? buffer_[3] : 0; }
  // The stored frame from its 0x01 up to (not including) the 0x05 that ends
  // its data, or up to the capacity.
  const uint8_t* frame() const { return buffer_; }
  size_t dataSize() const;

 private:
  void take(uint8_t byte);
  void endFrame();
  void skip(size_t count);

  uint8_t buffer_[kCapacity];
  size_t stored_ = 0;
  size_t length_ = 0;    // bytes of the current frame so far, 0 = between frames
  uint32_t sum_ = 0;     // of the frame's bytes after its 0x01
  uint8_t tail_[6] = {}; // the frame's last six bytes, newest last
  int skipped_ = 0;
  bool whole_ = false;
  State state_ = State::NeedMore;
};

// Parses a complete answer frame (starting at its 0x01, `size` bytes up to
// the end of its data) into `out`: error code, fields (at most 20, each cut
// to 149 bytes), status bytes. `out.timedOut` is cleared; the status bytes
// are 0 unless the frame carries them.
void parseAnswer(const uint8_t* frame, size_t size, int frameStart, Answer& out);

}  // namespace ostrel::frame
