// The printer's last answer as the component keeps it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

constexpr int kMaxAnswerFields = 20;
constexpr size_t kAnswerSlotSize = 150;  // 149 characters and a NUL
constexpr size_t kStatusBytes = 6;

struct Answer {
  // The printer's four-character error code; "0000" means accepted.
  char errorCode[5] = {'0', '0', '0', '0', 0};
  // The answer's fields in order, each cut to 149 characters.
  char fields[kMaxAnswerFields][kAnswerSlotSize] = {};
  int fieldCount = 0;  // property Counter
  // How many bytes came before the answer's 0x01 (SYN while busy, junk).
  int frameStart = 0;
  // No answer came within the silence limit: no fields, status 0.
  bool timedOut = false;
  // The six status bytes: byte 2 the receipt state, byte 5 the shift's.
  uint8_t status[kStatusBytes] = {};

  // The state after Init.
  void reset() { *this = Answer{}; }
  // The time-out state: no fields, status 0, the error code kept.
  void setTimedOut();
};

}  // namespace ostrel
