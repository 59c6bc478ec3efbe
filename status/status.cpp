// Raw commands, answer fields and status bits.
#include "command/text.h"
#include "status/status.h"

namespace ostrel::status {

uint32_t ReceiptStatus(const uint8_t status[6]) {
  uint8_t s = status[2];
  switch (s & 0x0F) {
    case 0: return 0;
    case 5: return 1;
    case 7: return 4;
    default: return (s & 0x10) ? 3 : 2;
  }
}

uint32_t ShiftStatus(const uint8_t status[6]) { return (status[5] & 0x10) ? 1 : 0; }

bool DirectIO(CommandContext& context, Call& call) {
  std::u16string password;
  std::u16string data;
  uint8_t code = 0;
  if (!call.text(0, password) || !call.byte(1, code) || !call.text(2, data)) return false;
  std::string field = AnsiFromWide(password) + ";" + AnsiFromWide(data);
  if (field.size() > kFormatLimit || !SendableDataField(field)) return false;
  context.setLastCmd(password);
  context.send(code, field, 2);
  return true;
}

bool RetItem(CommandContext& context, Call& call) {
  int32_t index = 0;
  if (!call.integer(1, index)) return false;
  const Answer& answer = context.answer();
  std::u16string text;
  if (index >= 0 && index < answer.fieldCount) text = WideFromAnsi(answer.fields[index]);
  return call.resultText(text);
}

namespace {

// The status request's data field: the password alone.
constexpr int8_t kPasswordOnly[] = {0};

}  // namespace

bool IsRegExist(CommandContext& context, Call& call) {
  std::string data;
  if (!BuildDataField(call, "%s;", kPasswordOnly, kFormatLimit, data)) return false;
  context.passThroughLastCmd(call, Args({0}));
  context.requestStatus(data);
  call.resultUI4(context.answer().timedOut ? 0 : 1);
  return true;
}

bool GetStatusBit(CommandContext& context, Call& call) {
  std::string data;
  int32_t byteIndex = 0;
  int32_t bit = 0;
  int32_t refresh = 0;
  std::u16string password;
  if (!call.text(0, password) || !call.integer(1, byteIndex) || !call.integer(2, bit) || !call.integer(3, refresh))
    return false;
  // Without refresh nothing is sent, so there is no data field to judge.
  if (refresh == 1 && !BuildDataField(call, "%s;", kPasswordOnly, kFormatLimit, data)) return false;
  context.setLastCmd(password);
  if (refresh == 1) context.requestStatus(data);
  const Answer& answer = context.answer();
  uint32_t value = 0;
  if (byteIndex >= 0 && byteIndex < static_cast<int32_t>(kStatusBytes) && bit >= 0 && bit <= 7) {
    value = (answer.status[byteIndex] >> bit) & 1u;
  }
  call.resultUI4(value);
  return true;
}

}  // namespace ostrel::status
