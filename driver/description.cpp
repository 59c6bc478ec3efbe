// What the driver says about itself, and its settings.
#include "command/numbers.h"
#include "command/text.h"
#include "device/errors.h"
#include "driver/driver.h"

namespace ostrel::driver {

extern const std::u16string_view kSettingsXml;

namespace {

constexpr char16_t kVersionFunction[] = u"ver.3.0 17.03.2017";
constexpr char16_t kVersionProcedure[] = u"ver.5.0.3 29.07.2021";
constexpr char16_t kDescriptionName[] = u"1С:драйвер AddInNativeOstrel.dll";
constexpr char16_t kDescriptionText[] = u"Драйвер стандарта 1C Native API для протокола Острел (ДП компания ORVETA)";
constexpr char16_t kEquipmentType[] = u"ФискальныйРегистратор";
constexpr int32_t kInterfaceRevision = 2000;

}  // namespace

bool GetVersion(CommandContext&, Call& call) {
  if (call.isFunction()) return call.resultText(kVersionFunction);
  if (call.count() >= 1) call.outText(0, kVersionProcedure);
  return true;
}

bool GetDescription(CommandContext&, Call& call) {
  bool ok = true;
  if (call.has(0)) ok &= call.outText(0, kDescriptionName);
  if (call.has(1)) ok &= call.outText(1, kDescriptionText);
  if (call.has(2)) ok &= call.outText(2, kEquipmentType);
  if (call.has(3)) call.outI4(3, kInterfaceRevision);
  if (call.has(4)) call.outBool(4, false);
  if (call.has(5)) call.outBool(5, !call.isFunction());
  if (call.has(6)) ok &= call.outText(6, u"");
  if (!ok) return false;
  call.resultBool(true);
  return true;
}

// The last answer's message and code; after a port failure, the failure.
bool GetLastError(CommandContext& context, Call& call) {
  if (!call.has(0)) return false;
  std::u16string text = context.portFailure();
  if (text.empty()) text.append(context.errorMessage()).append(u": ").append(context.errorCodeText());
  if (!call.outText(0, text)) return false;
  call.resultI4(1);
  return true;
}

bool GetParameters(CommandContext&, Call& call) {
  if (!call.outText(0, kSettingsXml)) return false;
  call.resultBool(true);
  return true;
}

bool SetParameter(CommandContext& context, Call& call) {
  std::u16string name;
  if (!call.text(0, name) || !call.has(1)) return false;
  DriverSettings& settings = context.driver().settings;
  std::u16string text;
  if (name == u"Model") {
    if (!call.text(1, text)) return false;
    settings.model = text;
  } else if (name == u"Port") {
    if (!call.text(1, text)) return false;
    // The settings form offers the port as an index (0 is COM1); a number,
    // or a text of digits, is such an index. "COM3" or a device path is used
    // as it stands.
    settings.port = text;
    settings.portIsIndex = call.kind(1) == Call::Kind::Number || ParseWholeInteger(text).has_value();
  } else if (name == u"Speed") {
    int32_t speed = 0;
    if (!call.integer(1, speed)) return false;
    settings.speed = speed;
  } else if (name == u"EquipmentType") {
    if (!call.text(1, text)) return false;
    settings.equipmentType = text;
  } else {
    return false;
  }
  call.resultBool(true);
  return true;
}

}  // namespace ostrel::driver
