#include "frames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "abihost/text.h"
#include "command/text.h"
#include "device/codes.h"
#include "values.h"

namespace addinhost {
namespace {

using namespace ostrel::frame;

// Bytes from the 05 to the end: 05, four checksum characters, 03.
constexpr size_t kTrailer = 6;
// Bytes from the 04 to the 05 of an answer: 04 and the status bytes.
constexpr size_t kStatusPart = 1 + ostrel::kStatusBytes;
constexpr size_t kDataOffset = 4;  // 01 LEN SEQ CMD
constexpr uint8_t kFirstSequence = 0x20, kLastSequence = 0x7E;

bool printable(char16_t c) { return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0); }

// Rebuilds the frame with the component's builder from its command,
// sequence byte and data (for an answer: everything between CMD and 05),
// and compares the length byte and the checksum with it.
void checkAgainstBuilder(const std::vector<uint8_t>& b, size_t endData, WireEvent& e) {
  const size_t n = endData - kDataOffset;
  if (e.seq < kFirstSequence || e.seq > kLastSequence || n > kMaxFrameData) return;
  uint8_t built[kMaxFrameData + kRequestOverhead];
  std::string_view data(reinterpret_cast<const char*>(b.data()) + kDataOffset, n);
  if (buildRequest(e.command, e.seq - kFirstSequence, data, built, sizeof built) != b.size()) return;
  e.checked = true;
  e.lengthOk = built[1] == b[1];
  e.checksumOk = std::memcmp(built + endData + 1, b.data() + endData + 1, 4) == 0;
}

// The answer's code, fields and status bytes as the component reads them.
void readAnswer(const std::vector<uint8_t>& b, WireEvent& e) {
  AnswerReader reader;
  reader.feed(b.data(), b.size());
  ostrel::Answer answer;
  parseAnswer(reader.frame(), reader.dataSize(), reader.frameStart(), answer);
  e.errorCode = answer.errorCode;
  for (int i = 0; i < answer.fieldCount; ++i) e.fields.emplace_back(answer.fields[i], strnlen(answer.fields[i], ostrel::kAnswerSlotSize));
  std::copy(std::begin(answer.status), std::end(answer.status), e.status.begin());
}

}  // namespace

std::string bytesAsText(const std::string& bytes) {
  std::string out;
  const std::u16string text = ostrel::WideFromAnsi(bytes);
  for (size_t i = 0; i < text.size() && i < bytes.size(); ++i) {
    if (printable(text[i])) {
      out += abihost::toUtf8(text.substr(i, 1));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(bytes[i]));
      out += buf;
    }
  }
  return out;
}

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
    out += buf;
  }
  return out;
}

WireEvent decodeFrame(const std::vector<uint8_t>& b) {
  WireEvent e;
  e.kind = WireEvent::Frame;
  e.bytes = b;
  const size_t n = b.size();
  if (n < kRequestOverhead || b[0] != kStart || b[n - 1] != kEnd || b[n - kTrailer] != kEndData) {
    e.kind = WireEvent::Junk;
    return e;
  }
  e.length = b[1];
  e.seq = b[2];
  e.command = b[3];
  const size_t endData = n - kTrailer;  // position of the 05
  checkAgainstBuilder(b, endData, e);
  // An answer carries 04 and six status bytes right before the 05.
  e.answer = endData >= kDataOffset + kStatusPart && b[endData - kStatusPart] == kStatusSeparator;
  const size_t dataEnd = e.answer ? endData - kStatusPart : endData;
  e.data.assign(b.begin() + kDataOffset, b.begin() + static_cast<long>(dataEnd));
  if (e.answer) readAnswer(b, e);
  return e;
}

void WireReader::emitJunk(std::vector<WireEvent>& out) {
  if (buffer_.empty()) return;
  WireEvent e;
  e.kind = WireEvent::Junk;
  e.bytes = buffer_;
  out.push_back(std::move(e));
  buffer_.clear();
  inFrame_ = false;
}

void WireReader::feed(const uint8_t* bytes, size_t count, std::vector<WireEvent>& out) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t c = bytes[i];
    if (!inFrame_) {
      if (c == kSyn || c == kNak) {
        emitJunk(out);
        WireEvent::Kind kind = c == kSyn ? WireEvent::Syn : WireEvent::Nak;
        if (!out.empty() && out.back().kind == kind && kind == WireEvent::Syn) {
          out.back().bytes.push_back(c);
        } else {
          WireEvent e;
          e.kind = kind;
          e.bytes.push_back(c);
          out.push_back(std::move(e));
        }
        continue;
      }
      if (c == kStart) {
        emitJunk(out);
        inFrame_ = true;
      }
      buffer_.push_back(c);
      continue;
    }
    buffer_.push_back(c);
    size_t n = buffer_.size();
    // The frame ends at an 03 five bytes after an 05, with four checksum
    // characters (30..3F) between them.
    if (c == kEnd && n >= kRequestOverhead && buffer_[n - kTrailer] == kEndData) {
      bool digits = true;
      for (size_t k = n - 5; k < n - 1; ++k) digits = digits && buffer_[k] >= 0x30 && buffer_[k] <= 0x3F;
      if (digits) {
        out.push_back(decodeFrame(buffer_));
        buffer_.clear();
        inFrame_ = false;
        continue;
      }
    }
    if (n >= kMaxFrame) emitJunk(out);
  }
}

void WireReader::flush(std::vector<WireEvent>& out) { emitJunk(out); }

std::string describeStatus(const std::array<uint8_t, 6>& s) {
  std::string out;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02X %02X %02X %02X %02X %02X", s[0], s[1], s[2], s[3], s[4], s[5]);
  out = buf;
  std::string bits;
  for (int byte = 0; byte < 6; ++byte)
    for (int bit = 0; bit < 7; ++bit)  // bit 7 is always set
      if (s[byte] & (1u << bit)) {
        std::snprintf(buf, sizeof buf, "%s%d.%d", bits.empty() ? "" : " ", byte, bit);
        bits += buf;
      }
  out += " [bits " + (bits.empty() ? std::string("none") : bits) + "]";
  if (s[0] & 0x20) out += " error";
  unsigned receipt = s[2] & 0x0F;
  const char* kind = receipt == 0 ? "no receipt" : receipt == 5 ? "non-fiscal receipt" : receipt == 7 ? "service receipt"
                     : (s[2] & 0x10)                           ? "refund receipt"
                                                               : "fiscal receipt";
  std::snprintf(buf, sizeof buf, ", %s (state %u)", kind, receipt);
  out += buf;
  out += (s[5] & 0x10) ? ", shift open" : ", shift closed";
  return out;
}

std::string describe(const WireEvent& e, const char* direction, double millis) {
  char head[96];
  std::snprintf(head, sizeof head, "%10.3f %s ", millis / 1000.0, direction);
  std::string out = head;
  std::string pad(std::string(head).size(), ' ');
  switch (e.kind) {
    case WireEvent::Syn:
      out += "SYN x" + std::to_string(e.bytes.size()) + " (printer busy)\n";
      return out;
    case WireEvent::Nak:
      out += "NAK (frame refused)\n";
      return out;
    case WireEvent::Junk:
      out += "junk, " + std::to_string(e.bytes.size()) + " bytes " + quote(bytesAsText(std::string(e.bytes.begin(), e.bytes.end()))) + "\n";
      out += pad + hex(e.bytes) + "\n";
      return out;
    case WireEvent::Frame:
      break;
  }
  char buf[160];
  const char* name = ostrel::code::nameOf(e.command);
  std::snprintf(buf, sizeof buf, "%s len %zu seq %02X cmd %02X (%u%s%s)", e.answer ? "answer " : "request", e.bytes.size(),
                e.seq, e.command, e.command, *name ? " " : "", name);
  out += buf;
  if (!e.checked) {
    out += " (not checked: not a frame the component builds)";
  } else {
    if (!e.lengthOk) out += " LENGTH BYTE WRONG";
    if (!e.checksumOk) out += " CHECKSUM WRONG";
  }
  out += "\n";
  if (e.answer) {
    out += pad + "error " + quote(bytesAsText(e.errorCode)) + ", " + std::to_string(e.fields.size()) + " fields";
    for (size_t i = 0; i < e.fields.size(); ++i) out += " [" + std::to_string(i) + "]" + quote(bytesAsText(e.fields[i]));
    out += "\n" + pad + "status " + describeStatus(e.status) + "\n";
  } else {
    out += pad + "data " + quote(bytesAsText(e.data)) + "\n";
  }
  out += pad + hex(e.bytes) + "\n";
  return out;
}

}  // namespace addinhost
