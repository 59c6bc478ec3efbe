// The money counters: command 224 with a group and a selector.
#include "command/numbers.h"
#include "command/text.h"
#include "status/status.h"

namespace ostrel::status {

bool ReadCounter(CAddInNative& component, Call& call, const CounterDef& def) {
  static constexpr int8_t kArgs[] = {0, 1};
  std::string data;
  if (!BuildDataField(call, def.format, kArgs, kFormatLimit, data)) return false;
  PassThroughLastCmd(component, call, Args({0}));
  component.link().advanceSequence();
  component.exchange(224, data);

  const Answer& answer = component.link().answer();
  const char* field = def.field < answer.fieldCount ? answer.fields[def.field] : "";
  if (def.numeric) {
    component.texts().money = ParseLeadingDecimal(field);
    call.resultR8(component.texts().money);
    return true;
  }
  component.texts().result = WideFromAnsi(field);
  return call.resultText(component.texts().result);
}

}  // namespace ostrel::status
