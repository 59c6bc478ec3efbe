// The methods of the line itself: the script's port, raw commands, answer
// fields, status bits and the money counters.
#pragma once

#include "command/command.h"

namespace ostrel::status {

bool OpenPort(CommandContext& context, Call& call);
bool ClosePort(CommandContext& context, Call& call);
bool DirectIO(CommandContext& context, Call& call);
bool RetItem(CommandContext& context, Call& call);
bool IsRegExist(CommandContext& context, Call& call);
bool GetStatusBit(CommandContext& context, Call& call);

// Status properties decoded from the last answer's status bytes.
uint32_t ReceiptStatus(const uint8_t status[6]);
uint32_t ShiftStatus(const uint8_t status[6]);

}  // namespace ostrel::status

namespace ostrel {

// One money counter: the counters command with a group and a selector, one
// answer field handed back as text or as a number.
struct CounterDef {
  const char* format = nullptr;  // "%s" the password (argument 0), "%i" the selector (argument 1)
  int field = 0;
  bool numeric = false;
};
constexpr CounterDef Counter(const char* format, int field, bool numeric) { return {format, field, numeric}; }
// The arguments a counter's conversions take, in order.
inline constexpr int8_t kCounterArgs[] = {0, 1};

bool ReadCounter(CommandContext& context, Call& call, const CounterDef& def);

}  // namespace ostrel
