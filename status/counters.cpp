// The money counters: one field of the counters command's answer.
#include "command/numbers.h"
#include "command/text.h"
#include "status/status.h"

namespace ostrel {

bool ReadCounter(CommandContext& context, Call& call, const CounterDef& def) {
  std::string data;
  if (!BuildDataField(call, def.format, kCounterArgs, kFormatLimit, data)) return false;
  context.passThroughLastCmd(call, Args({0}));
  context.send(code::kCounters, data);

  const Answer& answer = context.answer();
  const char* field = def.field < answer.fieldCount ? answer.fields[def.field] : "";
  if (def.numeric) {
    call.resultR8(ParseLeadingDecimal(field));
    return true;
  }
  return call.resultText(WideFromAnsi(field));
}

}  // namespace ostrel
