// The standard fiscal methods. Each but OpenShift first checks that its
// device identifier names a connected device; commands then go out on the
// current port with the default operator password.
#include "command/numbers.h"
#include "command/text.h"
#include "status/status.h"
#include "driver/driver.h"
#include "receipts/receipts.h"

namespace ostrel::driver {
namespace {

constexpr char kPassword[] = "482915";

// The device check; on failure the call answers false with result false.
bool deviceKnown(CAddInNative& component, Call& call) {
  std::u16string identifier;
  if (call.text(0, identifier) && FindDevice(component, identifier)) return true;
  call.resultBool(false);
  return false;
}

// An amount as the data field carries it: a number with two decimals and a
// point, a text as it stands.
bool amountText(const Call& call, int i, std::u16string& out) {
  if (!call.has(i)) return false;
  const tVariant& v = *call.arg(i);
  if (v.vt != VTYPE_PWSTR && v.vt != VTYPE_EMPTY) {
    double value = 0;
    if (!ReadReal(v, value)) return false;
    std::string text = MoneyText(value);
    if (text.empty()) return false;
    out.assign(text.begin(), text.end());
    return true;
  }
  return call.text(i, out);
}

bool sendFixed(CAddInNative& component, Call& call, uint8_t code, const char* data) {
  if (!deviceKnown(component, call)) return false;
  component.link().advanceSequence();
  component.exchange(code, data);
  call.resultBool(true);
  return true;
}

}  // namespace

bool Acknowledge(CAddInNative& component, Call& call) {
  if (!deviceKnown(component, call)) return false;
  call.resultBool(true);
  return true;
}

bool OpenShift(CAddInNative&, Call& call) {
  call.resultBool(true);
  return true;
}

bool PrintNonFiscalString(CAddInNative& component, Call& call) {
  if (!deviceKnown(component, call)) return false;
  bool done = RunCommand(component, call, receipts::kPrintComment);
  call.resultBool(done);
  return done;
}

bool PrintBarCode(CAddInNative& component, Call& call) {
  if (!deviceKnown(component, call)) return false;
  std::u16string identifier, type, barcode;
  std::string data;
  if (!call.text(0, identifier) || !call.text(1, type) || !call.text(2, barcode)) return false;
  int typeCode = type == u"EAN13" ? 1 : type == u"CODE39" ? 5 : 0;
  if (typeCode == 0) {
    // An unknown type: the identifier has been taken in, nothing is sent.
    component.texts().lastCmd = identifier;
    call.resultBool(false);
    return false;
  }
  if (!FormatDataField("%s;50;2;%i;1;%s;", {std::string(kPassword), typeCode, AnsiFromWide(barcode)}, kFormatLimit,
                       data)) {
    call.resultBool(false);
    return false;
  }
  component.texts().lastCmd = identifier;
  component.link().advanceSequence();
  component.exchange(113, data);
  call.resultBool(true);
  return true;
}

bool CloseCheck(CAddInNative& component, Call& call) {
  if (!deviceKnown(component, call)) return false;
  std::u16string last;
  if (!call.text(0, last)) return false;
  for (int i = 1; i < 5; ++i) {
    if (!amountText(call, i, last)) return false;
  }
  component.texts().lastCmd = last;
  component.link().advanceSequence();
  call.resultBool(true);
  return true;
}

bool CancelCheck(CAddInNative& component, Call& call) { return sendFixed(component, call, 107, "482915;0;"); }

bool CashInOutcome(CAddInNative& component, Call& call) {
  if (!deviceKnown(component, call)) return false;
  std::u16string amount;
  std::string data;
  if (!amountText(call, 1, amount) ||
      !FormatDataField("%s;0;%s;", {std::string(kPassword), AnsiFromWide(amount)}, kFormatLimit, data))
    return false;
  component.texts().lastCmd = amount;
  component.link().advanceSequence();
  component.link().advanceSequence();
  component.exchange(119, data);
  call.resultBool(true);
  return true;
}

bool PrintXReport(CAddInNative& component, Call& call) { return sendFixed(component, call, 161, "482915;1;"); }
bool PrintZReport(CAddInNative& component, Call& call) { return sendFixed(component, call, 161, "482915;0;"); }
bool OpenCashDrawer(CAddInNative& component, Call& call) { return sendFixed(component, call, 131, "482915;"); }

bool GetLineLength(CAddInNative& component, Call& call) {
  if (!deviceKnown(component, call) || !call.has(1)) return false;
  component.link().advanceSequence();
  component.exchange(status::kStatusRequest, "482915;");
  const Answer& answer = component.link().answer();
  int32_t width = answer.fieldCount > 8 ? ParseLeadingInteger(answer.fields[8]) : 0;
  call.outI4(1, width);
  call.resultBool(true);
  return true;
}

}  // namespace ostrel::driver
