// Frames of the serial protocol as the byte trace of addin-host shows them.
// The stream of each direction is cut into frames, SYN and NAK bytes and
// junk here; each frame is then judged and read with the component's own
// codec (device/frame.h): an answer's code, fields and status bytes are the
// ones the component's parser takes from it, and a frame's length byte and
// checksum are checked against the frame the component's builder makes of
// the same command, sequence byte and data.
//
//   request: 01 LEN SEQ CMD data... 05 c1 c2 c3 c4 03
//   answer:  01 LEN SEQ CMD code ';' field ';' ... 04 s0..s5 05 c1 c2 c3 c4 03
//   between frames: SYN (16, printer busy) and NAK (15, frame refused)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/frame.h"

namespace addinhost {

struct WireEvent {
  enum Kind { Frame, Syn, Nak, Junk };
  Kind kind = Frame;
  std::vector<uint8_t> bytes;  // exactly as seen

  // Frame only.
  bool answer = false;      // has the 04 separator and six status bytes
  uint8_t length = 0;       // the LEN byte as sent
  // Whether the frame could be rebuilt for the checks below: false when its
  // data is longer than one frame carries or its sequence byte is outside
  // the sequence range.
  bool checked = false;
  bool lengthOk = false;
  uint8_t seq = 0;
  uint8_t command = 0;
  std::string data;         // request: the data text; answer: code, fields, as sent
  bool checksumOk = false;
  // Answer only, as the component's parser reads them.
  std::string errorCode;
  std::vector<std::string> fields;
  std::array<uint8_t, 6> status{};
};

// Splits a byte stream of one direction into events. Feed bytes as they
// come; flush() hands over an unfinished frame as junk (after a pause).
class WireReader {
 public:
  // The longest frame kept whole; the component's reader keeps as much.
  static constexpr size_t kMaxFrame = ostrel::frame::AnswerReader::kCapacity;
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

// Bytes as text: printable ASCII as is, the other characters of the
// printer's code page (the component's table) as UTF-8, control characters
// and unassigned bytes as \xNN.
std::string bytesAsText(const std::string& bytes);
std::string hex(const std::vector<uint8_t>& bytes);

// The status bytes in words: the set bits by byte.bit and the ones this
// system reads (error, receipt state, shift).
std::string describeStatus(const std::array<uint8_t, 6>& status);

// One event as printed by the trace: a decoded line and a hex line.
// `direction` is "PC>FP" or "FP>PC"; `millis` the time since the trace began.
std::string describe(const WireEvent& e, const char* direction, double millis);

}  // namespace addinhost
