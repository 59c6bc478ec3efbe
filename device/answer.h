// The printer's last answer as the component keeps it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ostrel {

constexpr int kMaxAnswerFields = 20;
constexpr size_t kAnswerSlotSize = 150;  // 149 characters and a NUL
constexpr size_t kStatusBytes = 6;

struct Answer {
  char errorCode[5] = {'0', '0', '0', '0', 0};  // DeviceErrorCode
  char fields[kMaxAnswerFields][kAnswerSlotSize] = {};  // AnswerFields
  int fieldCount = 0;                                    // AnswerFieldCount
  int frameStart = 0;                                    // FrameStart
  bool timedOut = false;                                 // AnswerTimedOut
  uint8_t status[kStatusBytes] = {};                     // StatusBytes

  // The state after Init.
  void reset() { *this = Answer{}; }
  // The time-out state: no fields, status 0, the error code kept.
  void setTimedOut();
};

}  // namespace ostrel
