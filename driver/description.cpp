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

bool isNumberType(uint16_t vt) {
  switch (vt) {
    case VTYPE_I1: case VTYPE_I2: case VTYPE_I4: case VTYPE_I8: case VTYPE_INT:
    case VTYPE_UI1: case VTYPE_UI2: case VTYPE_UI4: case VTYPE_UI8: case VTYPE_UINT:
    case VTYPE_R4: case VTYPE_R8:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool GetVersion(CAddInNative&, Call& call) {
  if (call.isFunction()) return call.resultText(kVersionFunction);
  if (call.count() >= 1) call.outText(0, kVersionProcedure);
  return true;
}

bool GetDescription(CAddInNative&, Call& call) {
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

bool GetLastError(CAddInNative& component, Call& call) {
  if (!call.has(0)) return false;
  std::u16string text(component.errorMessage());
  text += u": ";
  text += component.errorCodeText();
  if (!call.outText(0, text)) return false;
  call.resultI4(1);
  return true;
}

bool GetParameters(CAddInNative&, Call& call) {
  if (!call.outText(0, kSettingsXml)) return false;
  call.resultBool(true);
  return true;
}

bool SetParameter(CAddInNative& component, Call& call) {
  std::u16string name;
  if (!call.text(0, name) || !call.has(1)) return false;
  const tVariant& value = *call.arg(1);
  DriverSettings& settings = component.settings();
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
    settings.portIsIndex = isNumberType(value.vt) || ParseWholeInteger(text).has_value();
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
