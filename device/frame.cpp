#include "device/frame.h"

#include <algorithm>
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
  synCount_ = 0;
  started_ = false;
  last_ = 0;
  state_ = State::NeedMore;
}

AnswerReader::State AnswerReader::feed(const uint8_t* data, size_t size) {
  if (state_ == State::Broken || data == nullptr) return state_;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t byte = data[i];
    if (!started_) {
      if (byte == kSyn) {
        // Counted only while it fits: a printer may send SYN for as long as
        // a command runs, and the count is only the frame's position.
        if (synCount_ < INT32_MAX) ++synCount_;
        continue;
      }
      if (byte != kStart) {
        // A NAK or junk ahead of the frame: this answer can never complete.
        state_ = State::Broken;
        return state_;
      }
      started_ = true;
    }
    if (stored_ < kCapacity) buffer_[stored_++] = byte;
    last_ = byte;
  }
  state_ = (started_ && last_ == kEnd) ? State::Complete : State::NeedMore;
  return state_;
}

void parseAnswer(const uint8_t* frame, size_t size, int frameStart, Answer& out) {
  if (frame == nullptr) size = 0;
  out.timedOut = false;
  out.frameStart = frameStart;

  // The text part of the frame ends at its first NUL.
  const size_t textEnd = size ? static_cast<size_t>(std::find(frame, frame + size, 0) - frame) : 0;

  size_t codeLength = 0;
  while (codeLength < kCodeLength && kCodeOffset + codeLength < textEnd) {
    out.errorCode[codeLength] = static_cast<char>(frame[kCodeOffset + codeLength]);
    ++codeLength;
  }
  std::memset(out.errorCode + codeLength, 0, sizeof out.errorCode - codeLength);

  std::memset(out.fields, 0, sizeof out.fields);
  out.fieldCount = 0;
  std::memset(out.status, 0, sizeof out.status);

  if (size > kFirstFieldOffset && frame[kFirstFieldOffset - 1] == kFieldSeparator &&
      frame[kFirstFieldOffset] == kStatusSeparator) {
    copyStatus(frame, size, kFirstFieldOffset + 1, out);
    return;
  }

  size_t fieldStart = kFirstFieldOffset;
  for (size_t i = kFirstFieldOffset; i < textEnd; ++i) {
    if (frame[i] != kFieldSeparator) continue;
    // Fields past the last slot are dropped; the scan still goes on to
    // find the status bytes.
    if (out.fieldCount < kMaxAnswerFields) {
      const size_t length = std::min(i - fieldStart, kMaxFieldText);
      std::memcpy(out.fields[out.fieldCount], frame + fieldStart, length);
      ++out.fieldCount;
    }
    if (i + 1 < textEnd && frame[i + 1] == kStatusSeparator) {
      copyStatus(frame, size, i + 2, out);
      return;
    }
    fieldStart = i + 1;
  }
}

}  // namespace ostrel::frame
