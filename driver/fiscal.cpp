// The standard fiscal methods. Each but OpenShift first checks that its
// device identifier names a connected device; commands then go out on the
// current port with the default operator password. A method that sends a
// command answers the result true only when the printer accepted it; the
// call itself succeeds whatever the printer answered.
#include "command/numbers.h"
#include "command/text.h"
#include "driver/driver.h"
#include "receipts/receipts.h"

namespace ostrel::driver {
namespace {

// The device check; on failure the call answers false with result false.
bool deviceKnown(CommandContext& context, Call& call) {
  std::u16string identifier;
  if (call.text(0, identifier) && context.findDevice(identifier)) return true;
  call.resultBool(false);
  return false;
}

// An amount as the data field carries it: a number with two decimals and a
// point, a text as it stands.
bool amountText(const Call& call, int i, std::u16string& out) {
  Call::Kind kind = call.kind(i);
  if (kind == Call::Kind::Missing) return false;
  if (kind != Call::Kind::Text && kind != Call::Kind::Empty) {
    double value = 0;
    if (!call.real(i, value)) return false;
    std::string text = MoneyText(value);
    if (text.empty()) return false;
    out.assign(text.begin(), text.end());
    return true;
  }
  return call.text(i, out);
}

bool sendFixed(CommandContext& context, Call& call, uint8_t code, std::string_view rest) {
  if (!deviceKnown(context, call)) return false;
  context.send(code, PasswordField(rest));
  call.resultBool(context.accepted());
  return true;
}

}  // namespace

bool Acknowledge(CommandContext& context, Call& call) {
  if (!deviceKnown(context, call)) return false;
  call.resultBool(true);
  return true;
}

bool OpenShift(CommandContext&, Call& call) {
  call.resultBool(true);
  return true;
}

bool PrintNonFiscalString(CommandContext& context, Call& call) {
  if (!deviceKnown(context, call)) return false;
  // The device identifier stands where the password stands.
  if (!RunCommand(context, call, receipts::kPrintText)) {
    call.resultBool(false);
    return false;
  }
  call.resultBool(context.accepted());
  return true;
}

// The identifier, the type and the barcode pass through LastCmd in turn:
// afterwards it reads the barcode, or the type when the type is refused.
bool PrintBarCode(CommandContext& context, Call& call) {
  if (!deviceKnown(context, call)) return false;
  std::u16string type, barcode;
  std::string data;
  if (!call.text(1, type) || !call.text(2, barcode)) return false;
  int typeCode = type == u"EAN13" ? 1 : type == u"CODE39" ? 5 : 0;
  if (typeCode == 0) {
    // An unknown type: taken in, nothing is sent.
    context.setLastCmd(type);
    call.resultBool(false);
    return false;
  }
  if (!FormatDataField("%s;50;2;%i;1;%s;", {std::string(kDefaultPassword), typeCode, AnsiFromWide(barcode)},
                       kFormatLimit, data)) {
    call.resultBool(false);
    return false;
  }
  context.setLastCmd(barcode);
  context.send(code::kBarcode, data);
  call.resultBool(context.accepted());
  return true;
}

bool CloseCheck(CommandContext& context, Call& call) {
  if (!deviceKnown(context, call)) return false;
  std::u16string last;
  if (!call.text(0, last)) return false;
  for (int i = 1; i < 5; ++i) {
    if (!amountText(call, i, last)) return false;
  }
  context.setLastCmd(last);
  context.advance();
  call.resultBool(true);
  return true;
}

bool CancelCheck(CommandContext& context, Call& call) { return sendFixed(context, call, code::kCancelReceipt, "0;"); }

bool CashInOutcome(CommandContext& context, Call& call) {
  if (!deviceKnown(context, call)) return false;
  std::u16string amount;
  std::string data;
  if (!amountText(call, 1, amount) ||
      !FormatDataField("%s;0;%s;", {std::string(kDefaultPassword), AnsiFromWide(amount)}, kFormatLimit, data))
    return false;
  context.setLastCmd(amount);
  context.send(code::kCashInOut, data, 2);
  call.resultBool(context.accepted());
  return true;
}

bool PrintXReport(CommandContext& context, Call& call) { return sendFixed(context, call, code::kReport, "1;"); }
bool PrintZReport(CommandContext& context, Call& call) { return sendFixed(context, call, code::kReport, "0;"); }
bool OpenCashDrawer(CommandContext& context, Call& call) { return sendFixed(context, call, code::kCashDrawer, ""); }

bool GetLineLength(CommandContext& context, Call& call) {
  if (!deviceKnown(context, call) || !call.has(1)) return false;
  context.requestStatus(PasswordField());
  const Answer& answer = context.answer();
  int32_t width = answer.fieldCount > 8 ? ParseLeadingInteger(answer.fields[8]) : 0;
  call.outI4(1, width);
  call.resultBool(context.accepted());
  return true;
}

}  // namespace ostrel::driver
