// Frames of the Datecs serial protocol as a bystander on the line sees them,
// for the byte trace of addin-host. Deliberately a small decoder of its own:
// it shares no code with the component or the simulator, so the trace shows
// what is on the wire, not what either side believes it sent.
//
//   request: 01 LEN SEQ CMD data... 05 c1 c2 c3 c4 03
//   answer:  01 LEN SEQ CMD code ';' field ';' ... 04 s0..s5 05 c1 c2 c3 c4 03
//   LEN = 0x20 + number of bytes from LEN through 05
//   c1..c4 = the 16-bit sum of LEN..05, a nibble each (MSB first) plus 0x30
//   between frames: SYN (16, printer busy) and NAK (15, frame refused)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace addinhost {

struct WireEvent {
  enum Kind { Frame, Syn, Nak, Junk };
  Kind kind = Frame;
  std::vector<uint8_t> bytes;  // exactly as seen

  // Frame only.
  bool answer = false;      // has the 04 separator and six status bytes
  uint8_t length = 0;       // the LEN byte as sent
  bool lengthOk = false;
  uint8_t seq = 0;
  uint8_t command = 0;
  std::string data;         // request: the data text; answer: code, fields, as sent
  bool checksumOk = false;
  std::string errorCode;    // answer only
  std::vector<std::string> fields;  // answer only
  std::array<uint8_t, 6> status{};  // answer only
};

// Splits a byte stream of one direction into events. Feed bytes as they
// come; flush() hands over an unfinished frame as junk (after a pause).
class WireReader {
 public:
  static constexpr size_t kMaxFrame = 1024;
  void feed(const uint8_t* bytes, size_t count, std::vector<WireEvent>& out);
  void flush(std::vector<WireEvent>& out);
  bool pending() const { return !buffer_.empty(); }

 private:
  void emitJunk(std::vector<WireEvent>& out);
  std::vector<uint8_t> buffer_;
  bool inFrame_ = false;
};

// Decodes one complete frame (from 01 to 03).
WireEvent decodeFrame(const std::vector<uint8_t>& bytes);

// A short name of a command code ("sale", "status", ...), empty if unknown.
const char* commandName(uint8_t command);

// Bytes as text: printable ASCII as is, Windows-1251 letters as UTF-8,
// anything else as \xNN.
std::string bytesAsText(const std::string& bytes);
std::string hex(const std::vector<uint8_t>& bytes);

// The status bytes in words: the set bits by byte.bit and the ones this
// system reads (error, receipt state, shift).
std::string describeStatus(const std::array<uint8_t, 6>& status);

// One event as printed by the trace: a decoded line and a hex line.
// `direction` is "PC>FP" or "FP>PC"; `millis` the time since the trace began.
std::string describe(const WireEvent& e, const char* direction, double millis);

}  // namespace addinhost
