#include "device/frame.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace ostrel::frame {

namespace {

constexpr uint8_t kFieldSeparator = ';';
constexpr size_t kCodeOffset = 4;
constexpr size_t kCodeLength = 4;
constexpr size_t kFirstFieldOffset = 9;
constexpr size_t kMaxFieldText = kAnswerSlotSize - 1;

// The six status bytes that start at `offset`; bytes past the end of the
// frame read 0.
void copyStatus(const uint8_t* frame, size_t size, size_t offset, Answer& out) {
  for (size_t i = 0; i < kStatusBytes; ++i) {
    const size_t at = offset + i;
    out.status[i] = at < size ? frame[at] : 0;
  }
}

}  // namespace

uint8_t sequenceByte(uint32_t counter) { return static_cast<uint8_t>(counter % 95u + 0x20u); }

size_t buildRequest(uint8_t command, uint32_t counter, std::string_view data, uint8_t* out, size_t capacity) {
  const size_t n = data.size();
  if (n > kMaxFrameData || out == nullptr || capacity < n + kRequestOverhead) return 0;

  size_t at = 0;
  out[at++] = kStart;
  out[at++] = static_cast<uint8_t>((n + 4) % 256 + 0x20);
  out[at++] = sequenceByte(counter);
  out[at++] = command;
  if (n) std::memcpy(out + at, data.data(), n);
  at += n;
  out[at++] = kEndData;

  uint16_t sum = 0;
  for (size_t i = 1; i < at; ++i) sum = static_cast<uint16_t>(sum + out[i]);
  // Nibbles go out most significant first as 0x30 + value, so 10..15 are
  // the characters ':' to '?', not 'A' to 'F'.
  for (int shift = 12; shift >= 0; shift -= 4) out[at++] = static_cast<uint8_t>(0x30 + ((sum >> shift) & 0x0F));
  out[at++] = kEnd;
  return at;
}

void AnswerReader::reset() {
  stored_ = 0;
  length_ = 0;
  sum_ = 0;
  skipped_ = 0;
  whole_ = false;
  state_ = State::NeedMore;
}

void AnswerReader::skip(size_t count) {
  // Counted only while it fits: a printer may send SYN for as long as a
  // command runs, and the count is only the frame's position.
  const size_t room = static_cast<size_t>(INT32_MAX - skipped_);
  skipped_ += static_cast<int>(std::min(count, room));
}

void AnswerReader::next() {
  skip(state_ == State::Nak ? 1 : length_);
  stored_ = 0;
  length_ = 0;
  sum_ = 0;
  whole_ = false;
  state_ = State::NeedMore;
}

size_t AnswerReader::feed(const uint8_t* data, size_t size) {
  if (state_ != State::NeedMore || data == nullptr) return 0;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = data[i];
    if (length_ == 0 && byte == kNak) {
      state_ = State::Nak;
      return i + 1;
    }
    if (length_ == 0 && byte != kStart) {
      skip(1);
      continue;
    }
    take(byte);
    if (state_ == State::Frame) return i + 1;
  }
  return size;
}

void AnswerReader::take(uint8_t byte) {
  if (length_ == 0) std::memset(tail_, 0, sizeof tail_);
  if (stored_ < kCapacity) buffer_[stored_++] = byte;
  if (length_ > 0) sum_ += byte;
  ++length_;
  auto isChecksumChar = [](uint8_t c) { return c >= 0x30 && c <= 0x3F; };
  if (byte == kEnd && length_ >= kRequestOverhead && tail_[1] == kEndData && isChecksumChar(tail_[2]) &&
      isChecksumChar(tail_[3]) && isChecksumChar(tail_[4]) && isChecksumChar(tail_[5])) {
    endFrame();
    return;
  }
  std::memmove(tail_, tail_ + 1, sizeof tail_ - 1);
  tail_[sizeof tail_ - 1] = byte;
}

void AnswerReader::endFrame() {
  // The 0x05 sits six bytes from the end; the length byte counts the bytes
  // from itself through it, modulo 256.
  const size_t endData = length_ - 6;
  uint32_t sum = sum_ - kEnd;
  for (int k = 2; k < 6; ++k) sum -= tail_[k];
  bool checksumOk = true;
  for (int k = 0; k < 4; ++k)
    checksumOk = checksumOk && tail_[2 + k] == 0x30 + ((sum >> (12 - 4 * k)) & 0x0F);
  whole_ = checksumOk && buffer_[1] == static_cast<uint8_t>(endData + 0x20);
  state_ = State::Frame;
}

size_t AnswerReader::dataSize() const {
  if (state_ != State::Frame) return stored_;
  return std::min(length_ - 6, stored_);
}

void parseAnswer(const uint8_t* frame, size_t size, int frameStart, Answer& out) {
  if (frame == nullptr) size = 0;
  out.timedOut = false;
  out.frameStart = frameStart;

  // Every byte is data, 0x00 included: the code takes the four bytes as
  // they are (a NUL among them ends its text there).
  std::memset(out.errorCode, 0, sizeof out.errorCode);
  for (size_t i = 0; i < kCodeLength && kCodeOffset + i < size; ++i)
    out.errorCode[i] = static_cast<char>(frame[kCodeOffset + i]);

  std::memset(out.fields, 0, sizeof out.fields);
  out.fieldCount = 0;
  std::memset(out.status, 0, sizeof out.status);

  if (size > kFirstFieldOffset && frame[kFirstFieldOffset - 1] == kFieldSeparator &&
      frame[kFirstFieldOffset] == kStatusSeparator) {
    copyStatus(frame, size, kFirstFieldOffset + 1, out);
    return;
  }

  size_t fieldStart = kFirstFieldOffset;
  for (size_t i = kFirstFieldOffset; i < size; ++i) {
    if (frame[i] != kFieldSeparator) continue;
    // Fields past the last slot are dropped; the scan still goes on to
    // find the status bytes.
    if (out.fieldCount < kMaxAnswerFields) {
      const size_t length = std::min(i - fieldStart, kMaxFieldText);
      std::memcpy(out.fields[out.fieldCount], frame + fieldStart, length);
      ++out.fieldCount;
    }
    if (i + 1 < size && frame[i + 1] == kStatusSeparator) {
      copyStatus(frame, size, i + 2, out);
      return;
    }
    fieldStart = i + 1;
  }
}

}  // namespace ostrel::frame
