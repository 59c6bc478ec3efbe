// Script methods of the device link: the port, raw commands, status and the
// money counters.
#pragma once

#include "addin/command.h"

namespace ostrel::device {

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
struct CounterSpec {
  const char* format;  // "%s" the password, "%i" argument 1
  int field;
  bool numeric;
};
bool ReadCounter(CAddInNative& component, Call& call, const CounterSpec& spec);
template <const CounterSpec& Spec>
bool Counter(CAddInNative& component, Call& call) {
  return ReadCounter(component, call, Spec);
}

inline constexpr CounterSpec kSumCash{"%s;3;0;0;", 0, false};
inline constexpr CounterSpec kSumCashF{"%s;3;0;0;", 0, true};
inline constexpr CounterSpec kSumTrade{"%s;2;%i;0;", 0, false};
inline constexpr CounterSpec kSumTradeF{"%s;2;%i;0;", 0, true};
inline constexpr CounterSpec kSumRefund{"%s;2;%i;0;", 1, false};
inline constexpr CounterSpec kSumRefundF{"%s;2;%i;0;", 1, true};
inline constexpr CounterSpec kServiceIn{"%s;3;1;0;", 0, false};
inline constexpr CounterSpec kServiceInF{"%s;3;1;0;", 0, true};
inline constexpr CounterSpec kServiceOut{"%s;3;1;0;", 1, false};
inline constexpr CounterSpec kServiceOutF{"%s;3;1;0;", 1, true};

}  // namespace ostrel::device
