#include "frames.h"

#include <cstdio>

#include "values.h"

namespace addinhost {
namespace {

constexpr uint8_t kStart = 0x01, kEnd = 0x03, kSeparator = 0x04, kEndData = 0x05, kNak = 0x15, kSyn = 0x16;

// Windows-1251 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr char16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

void appendUtf8(std::string& out, char16_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

const char* commandName(uint8_t c) {
  switch (c) {
    case 36: return "program article";
    case 47: return "operator settings";
    case 76: return "identity";
    case 87: return "program article (long)";
    case 89: return "read article";
    case 94: return "command parameters";
    case 96: return "open non-fiscal receipt";
    case 97: return "print text";
    case 99: return "open receipt";
    case 100: return "sale";
    case 101: return "close receipt";
    case 103: return "cash payment";
    case 104: return "discount % on article";
    case 105: return "discount on article";
    case 107: return "cancel receipt";
    case 109: return "total";
    case 113: return "barcode";
    case 115: return "discount % on subtotal";
    case 116: return "discount on subtotal";
    case 119: return "cash in/out";
    case 120: return "card payment";
    case 122: return "cash payout";
    case 123: return "electronic payment";
    case 124: return "excise sale";
    case 128: return "status";
    case 131: return "cash drawer";
    case 151: return "network test";
    case 161: return "X/Z report";
    case 162: return "periodic report by date";
    case 163: return "periodic report by number";
    case 164: return "goods report";
    case 224: return "money counters";
    case 226: return "last receipt number";
    case 228: return "QR code";
    case 229: return "QR code info";
    case 230: return "QR code data";
    case 235: return "receipt copy";
    default: return "";
  }
}

std::string bytesAsText(const std::string& bytes) {
  std::string out;
  for (unsigned char b : bytes) {
    if (b >= 0x20 && b < 0x7F) {
      out.push_back(static_cast<char>(b));
    } else if (b >= 0xC0) {
      appendUtf8(out, static_cast<char16_t>(0x0410 + (b - 0xC0)));
    } else if (b >= 0x80 && kHigh[b - 0x80] != 0) {
      appendUtf8(out, kHigh[b - 0x80]);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
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
  size_t n = b.size();
  if (n < 10 || b[0] != kStart || b[n - 1] != kEnd || b[n - 6] != kEndData) {
    e.kind = WireEvent::Junk;
    return e;
  }
  e.length = b[1];
  e.seq = b[2];
  e.command = b[3];
  size_t endData = n - 6;  // position of the 05
  e.lengthOk = e.length == static_cast<uint8_t>((endData + 0x20) & 0xFF);  // LEN..05 is endData bytes
  uint16_t sum = 0;
  for (size_t i = 1; i <= endData; ++i) sum = static_cast<uint16_t>(sum + b[i]);
  e.checksumOk = true;
  for (int k = 0; k < 4; ++k) {
    uint8_t want = static_cast<uint8_t>(0x30 + ((sum >> (12 - 4 * k)) & 0x0F));
    if (b[endData + 1 + k] != want) e.checksumOk = false;
  }
  // An answer carries 04 and six status bytes right before the 05.
  if (endData >= 11 && b[endData - 7] == kSeparator) {
    e.answer = true;
    e.data.assign(b.begin() + 4, b.begin() + (endData - 7));
    for (int k = 0; k < 6; ++k) e.status[k] = b[endData - 6 + k];
    e.errorCode = e.data.substr(0, 4);
    if (e.data.size() > 5) {
      std::string rest = e.data.substr(5);
      size_t start = 0;
      for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == ';') {
          e.fields.push_back(rest.substr(start, i - start));
          start = i + 1;
        }
      }
      if (start < rest.size()) e.fields.push_back(rest.substr(start));
    }
  } else {
    e.data.assign(b.begin() + 4, b.begin() + endData);
  }
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
    if (c == kEnd && n >= 10 && buffer_[n - 6] == kEndData) {
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
  const char* name = commandName(e.command);
  std::snprintf(buf, sizeof buf, "%s len %zu seq %02X cmd %02X (%u%s%s)", e.answer ? "answer " : "request", e.bytes.size(),
                e.seq, e.command, e.command, *name ? " " : "", name);
  out += buf;
  if (!e.lengthOk) out += " LENGTH BYTE WRONG";
  if (!e.checksumOk) out += " CHECKSUM WRONG";
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
