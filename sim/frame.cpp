#include "sim/frame.h"

namespace datecs_sim {

std::array<uint8_t, 4> checksumChars(uint16_t sum) {
  return {static_cast<uint8_t>(0x30 + ((sum >> 12) & 0xF)), static_cast<uint8_t>(0x30 + ((sum >> 8) & 0xF)),
          static_cast<uint8_t>(0x30 + ((sum >> 4) & 0xF)), static_cast<uint8_t>(0x30 + (sum & 0xF))};
}

namespace {

// Appends 05, the checksum of everything after the leading 01, and 03.
void seal(std::vector<uint8_t>& frame) {
  frame.push_back(kEndData);
  uint16_t sum = 0;
  for (size_t i = 1; i < frame.size(); ++i) sum = static_cast<uint16_t>(sum + frame[i]);
  for (uint8_t c : checksumChars(sum)) frame.push_back(c);
  frame.push_back(kEnd);
}

}  // namespace

std::vector<uint8_t> encodeRequest(uint8_t seq, uint8_t command, const std::string& data) {
  std::vector<uint8_t> frame;
  frame.reserve(data.size() + 10);
  frame.push_back(kStart);
  frame.push_back(static_cast<uint8_t>(((data.size() + 4) % 256) + 0x20));
  frame.push_back(seq);
  frame.push_back(command);
  frame.insert(frame.end(), data.begin(), data.end());
  seal(frame);
  return frame;
}

std::vector<uint8_t> encodeAnswer(uint8_t seq, uint8_t command, const std::string& code,
                                  const std::vector<std::string>& fields, const Status& status) {
  std::vector<uint8_t> frame;
  frame.push_back(kStart);
  frame.push_back(0);  // length, filled in below
  frame.push_back(seq);
  frame.push_back(command);
  std::string head = code;
  head.resize(4, '0');
  frame.insert(frame.end(), head.begin(), head.end());
  frame.push_back(';');
  for (const auto& f : fields) {
    frame.insert(frame.end(), f.begin(), f.end());
    frame.push_back(';');
  }
  frame.push_back(kSeparator);
  frame.insert(frame.end(), status.begin(), status.end());
  // Bytes from LEN through the 05 that seal() is about to add.
  frame[1] = static_cast<uint8_t>((frame.size() - 1 + 1 + 0x20) & 0xFF);
  seal(frame);
  return frame;
}

std::vector<std::string> splitFields(const std::string& data) {
  std::vector<std::string> fields;
  std::string current;
  for (char c : data) {
    if (c == ';') {
      fields.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) fields.push_back(current);
  return fields;
}

void FrameDecoder::feed(const uint8_t* bytes, size_t count, std::vector<Event>& out) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t b = bytes[i];
    if (buffer_.empty()) {
      if (b == kStart) buffer_.push_back(b);
      continue;  // noise between frames is skipped
    }
    if (endData_ == 0) {
      if (b == kStart) {  // a new frame starts inside an unfinished one
        out.push_back(Event{true, {}});
        buffer_.assign(1, kStart);
        continue;
      }
      buffer_.push_back(b);
      if (b == kEndData && buffer_.size() >= 5) {
        endData_ = buffer_.size() - 1;
      } else if (buffer_.size() >= kMaxFrame) {
        out.push_back(Event{true, {}});
        buffer_.clear();
      }
      continue;
    }
    buffer_.push_back(b);
    if (buffer_.size() == endData_ + 6) finish(out);
  }
}

void FrameDecoder::finish(std::vector<Event>& out) {
  const std::vector<uint8_t>& f = buffer_;
  size_t e = endData_;
  bool ok = f[e + 5] == kEnd;
  ok = ok && f[1] == static_cast<uint8_t>(((e % 256) + 0x20) & 0xFF);
  ok = ok && f[2] >= 0x20 && f[2] <= 0x7E;
  uint16_t sum = 0;
  for (size_t i = 1; i <= e; ++i) sum = static_cast<uint16_t>(sum + f[i]);
  auto chk = checksumChars(sum);
  for (int i = 0; i < 4; ++i) ok = ok && f[e + 1 + i] == chk[i];
  Event ev;
  ev.bad = !ok;
  if (ok) {
    ev.request.seq = f[2];
    ev.request.command = f[3];
    ev.request.data.assign(f.begin() + 4, f.begin() + e);
  }
  out.push_back(std::move(ev));
  buffer_.clear();
  endData_ = 0;
}

bool decodeAnswer(const std::vector<uint8_t>& b, Answer& out) {
  out = Answer{};
  if (b.size() < 22 || b[0] != kStart || b.back() != kEnd) return false;
  size_t n = b.size();
  if (b[n - 6] != kEndData || b[n - 13] != kSeparator || b[8] != ';') return false;
  out.length = b[1];
  out.seq = b[2];
  out.command = b[3];
  out.code.assign(b.begin() + 4, b.begin() + 8);
  std::string current;
  for (size_t i = 9; i < n - 13; ++i) {
    if (b[i] == ';') {
      out.fields.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(b[i]));
    }
  }
  if (!current.empty()) return false;  // a field without its ';'
  for (int i = 0; i < 6; ++i) out.status[i] = b[n - 12 + i];
  uint16_t sum = 0;
  for (size_t i = 1; i <= n - 6; ++i) sum = static_cast<uint16_t>(sum + b[i]);
  auto chk = checksumChars(sum);
  out.checksumOk = true;
  for (int i = 0; i < 4; ++i) out.checksumOk = out.checksumOk && b[n - 5 + i] == chk[i];
  out.lengthOk = b[1] == static_cast<uint8_t>(((n - 6) + 0x20) & 0xFF);
  return true;
}

}  // namespace datecs_sim
