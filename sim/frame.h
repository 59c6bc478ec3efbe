// Byte-level frames of the Datecs serial protocol as the printer sees them:
// it decodes the host's requests and encodes its own answers. Kept apart from
// any host-side code so that a bug on one side cannot hide one on the other.
//
// Request: 01 LEN SEQ CMD data... 05 c1 c2 c3 c4 03
//   LEN = ((n + 4) mod 256) + 0x20, n = data length
//   c1..c4 = nibbles (MSB first) of the 16-bit sum of LEN..05, each + 0x30
// Answer:  01 LEN SEQ CMD e1 e2 e3 e4 ';' {field ';'}... 04 s0..s5 05 c1..c4 03
//   LEN = (number of bytes from LEN through 05 + 0x20) mod 256
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace datecs_sim {

constexpr uint8_t kStart = 0x01;
constexpr uint8_t kEnd = 0x03;
constexpr uint8_t kSeparator = 0x04;
constexpr uint8_t kEndData = 0x05;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kSyn = 0x16;

using Status = std::array<uint8_t, 6>;

struct Request {
  uint8_t seq = 0;
  uint8_t command = 0;
  std::string data;
};

// The four checksum characters of a 16-bit sum.
std::array<uint8_t, 4> checksumChars(uint16_t sum);

std::vector<uint8_t> encodeRequest(uint8_t seq, uint8_t command, const std::string& data);
std::vector<uint8_t> encodeAnswer(uint8_t seq, uint8_t command, const std::string& code,
                                  const std::vector<std::string>& fields, const Status& status);

// Splits a data text into its ';'-terminated fields. A trailing piece without
// ';' counts as a last field when it is not empty.
std::vector<std::string> splitFields(const std::string& data);

// Incremental request decoder. Bytes before 0x01 are skipped. A frame runs
// from 0x01 to the first 0x05 at offset 4 or later, then four checksum
// characters and 0x03. A frame whose length byte, sequence byte, checksum or
// trailer is wrong is reported as bad (the printer answers it with NAK). A
// new 0x01 before the 0x05 abandons the frame in progress as bad, and so does
// a frame that grows past kMaxFrame bytes without its 0x05.
class FrameDecoder {
 public:
  static constexpr size_t kMaxFrame = 512;
  struct Event {
    bool bad = false;
    Request request;  // valid when !bad
  };
  void feed(const uint8_t* bytes, size_t count, std::vector<Event>& out);
  // Drops a partial frame (used after a long pause in the middle of one).
  void reset() {
    buffer_.clear();
    endData_ = 0;
  }
  bool midFrame() const { return !buffer_.empty(); }

 private:
  void finish(std::vector<Event>& out);
  std::vector<uint8_t> buffer_;
  size_t endData_ = 0;  // index of the 0x05 within buffer_, 0 = not yet seen
};

// What a host reads from an answer, decoded without any tolerance: used by
// tests and tools to check the printer's own bytes.
struct Answer {
  uint8_t length = 0, seq = 0, command = 0;
  std::string code;
  std::vector<std::string> fields;
  Status status{};
  bool checksumOk = false;
  bool lengthOk = false;
};
// Decodes one answer frame that starts at bytes[0] == 0x01 and ends with
// 0x03. Returns false when the layout is broken.
bool decodeAnswer(const std::vector<uint8_t>& bytes, Answer& out);

}  // namespace datecs_sim
