// Script methods of the device link: the port, raw commands, status and the
// money counters.
#pragma once

#include "command/command.h"

namespace ostrel::status {

// The status request: the password alone; the answer's status bytes carry
// the receipt and shift state, field 8 the line width.
constexpr uint8_t kStatusRequest = 128;

bool OpenPort(CAddInNative& component, Call& call);
bool ClosePort(CAddInNative& component, Call& call);
bool DirectIO(CAddInNative& component, Call& call);
bool RetItem(CAddInNative& component, Call& call);
bool IsRegExist(CAddInNative& component, Call& call);
bool GetStatusBit(CAddInNative& component, Call& call);

// Status properties decoded from the last answer's status bytes.
uint32_t ReceiptStatus(const uint8_t status[6]);
uint32_t ShiftStatus(const uint8_t status[6]);

// One money counter: command 224 with a group and selector, one answer field,
// as text or as a number.
struct CounterDef {
  const char* format;  // "%s" the password, "%i" argument 1
  int field;
  bool numeric;
};
bool ReadCounter(CAddInNative& component, Call& call, const CounterDef& def);
template <const CounterDef& Def>
bool Counter(CAddInNative& component, Call& call) {
  return ReadCounter(component, call, Def);
}

inline constexpr CounterDef kSumCash{"%s;3;0;0;", 0, false};
inline constexpr CounterDef kSumCashF{"%s;3;0;0;", 0, true};
inline constexpr CounterDef kSumTrade{"%s;2;%i;0;", 0, false};
inline constexpr CounterDef kSumTradeF{"%s;2;%i;0;", 0, true};
inline constexpr CounterDef kSumRefund{"%s;2;%i;0;", 1, false};
inline constexpr CounterDef kSumRefundF{"%s;2;%i;0;", 1, true};
inline constexpr CounterDef kServiceIn{"%s;3;1;0;", 0, false};
inline constexpr CounterDef kServiceInF{"%s;3;1;0;", 0, true};
inline constexpr CounterDef kServiceOut{"%s;3;1;0;", 1, false};
inline constexpr CounterDef kServiceOutF{"%s;3;1;0;", 1, true};

}  // namespace ostrel::status
