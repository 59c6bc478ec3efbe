#include "addin/component.h"

#include <clocale>
#include <exception>

#include "addin/call.h"
#include "addin/registry.h"
#include "command/text.h"
#include "status/status.h"
#include "device/errors.h"

namespace ostrel {
namespace {

constexpr long kComponentInfo = 5030;
constexpr char16_t kExtensionName[] = u"OstrelX";
constexpr char16_t kVersionText[] = u"ORVETA native 1C dll  5.0.3.4";
constexpr char16_t kAuthorText[] = u"Brodavin";
constexpr char16_t kCompanyText[] = u"ДП Компания ORVETA";

// Runs `body`, turning any exception into `failure`: nothing thrown may
// cross into the host.
template <typename Result, typename Body>
Result guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

std::u16string textOf(const WCHAR_T* text) {
  std::u16string out;
  if (!text) return out;
  for (size_t i = 0; text[i] != 0; ++i) out.push_back(static_cast<char16_t>(text[i]));
  return out;
}

}  // namespace

CAddInNative::CAddInNative() : link_(systemClock(), linkTimings()) {}

// A port left open would stay locked until the host process ends: nothing
// can reach it once the object is gone. Every port object closes its device
// when it is destroyed, with the component (here) or when Init lets it go.
CAddInNative::~CAddInNative() = default;

void CAddInNative::resetState() {
  link_.reset();
  port_.scriptPort.reset();
  port_.handle = nullptr;
  port_.number = 1;
  port_.baud = 9600;
  port_.open = false;
  for (auto& slot : slots_) slot = DeviceSlot{};
}

bool CAddInNative::closePort(SerialPort& port) {
  bool closed = port.close();
  if (port_.handle == &port) {
    port_.handle = nullptr;
    port_.open = false;
  }
  return closed;
}

std::u16string CAddInNative::errorCodeText() const {
  const char* code = link_.answer().errorCode;
  size_t n = 0;
  while (n < 4 && code[n]) ++n;
  return WideFromAnsi(std::string_view(code, n));
}

std::u16string_view CAddInNative::errorMessage() const {
  return deviceErrorMessage(errorCodeText(), link_.answer().timedOut);
}

// ---- IInitDoneBase ----------------------------------------------------------

bool CAddInNative::Init(void* connection) {
  return guarded(false, [&] {
    connection_ = connection;
    resetState();
    return connection != nullptr;
  });
}

bool CAddInNative::setMemManager(void* memory) {
  memory_ = static_cast<IMemoryManager*>(memory);
  return memory_ != nullptr;
}

long CAddInNative::GetInfo() { return kComponentInfo; }

void CAddInNative::Done() {}

void CAddInNative::SetLocale(const WCHAR_T* locale) {
  guarded(0, [&] {
    std::u16string name = textOf(locale);
    std::string ascii;
    for (char16_t c : name) ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    std::setlocale(LC_ALL, ascii.c_str());
    return 0;
  });
}

// ---- ILanguageExtenderBase: names ----------------------------------------------

bool CAddInNative::RegisterExtensionAs(WCHAR_T** name) {
  return guarded(false, [&] {
    if (!memory_ || !name) return false;
    WCHAR_T* text = AllocPlatformText(memory_, kExtensionName);
    if (!text) return false;
    *name = text;
    return true;
  });
}

long CAddInNative::GetNProps() { return kPropertyCount; }
long CAddInNative::GetNMethods() { return kMethodCount; }

long CAddInNative::FindProp(const WCHAR_T* name) {
  return guarded(-1L, [&] { return findProperty(textOf(name)); });
}

long CAddInNative::FindMethod(const WCHAR_T* name) {
  return guarded(-1L, [&] { return findMethod(textOf(name)); });
}

const WCHAR_T* CAddInNative::GetPropName(long number, long language) {
  return guarded(static_cast<const WCHAR_T*>(nullptr), [&]() -> const WCHAR_T* {
    if (number < 0 || number >= kPropertyCount || (language != 0 && language != 1)) return nullptr;
    const PropertyDef& p = propertyDef(static_cast<int>(number));
    return AllocPlatformText(memory_, language == 0 ? p.english : p.russian);
  });
}

const WCHAR_T* CAddInNative::GetMethodName(const long number, const long language) {
  return guarded(static_cast<const WCHAR_T*>(nullptr), [&]() -> const WCHAR_T* {
    if (number < 0 || number >= kMethodCount || (language != 0 && language != 1)) return nullptr;
    const MethodDef& m = methodDef(static_cast<int>(number));
    return AllocPlatformText(memory_, language == 0 ? m.english : m.russian);
  });
}

long CAddInNative::GetNParams(const long number) {
  if (number < 0 || number >= kMethodCount) return 0;
  return methodDef(static_cast<int>(number)).params;
}

bool CAddInNative::GetParamDefValue(const long method, const long position, tVariant* value) {
  return guarded(false, [&] {
    if (!value) return false;
    value->vt = VTYPE_EMPTY;
    if (method < 0 || method >= kMethodCount) return false;
    return declaredDefault(methodDef(static_cast<int>(method)), static_cast<int>(position), memory_, value);
  });
}

bool CAddInNative::HasRetVal(const long number) {
  if (number < 0 || number >= kMethodCount) return false;
  return methodDef(static_cast<int>(number)).returnsValue;
}

// ---- properties ---------------------------------------------------------------

bool CAddInNative::IsPropReadable(const long number) { return number >= 0 && number < kPropertyCount; }

bool CAddInNative::IsPropWritable(const long number) {
  return number >= 0 && number < kPropertyCount && propertyDef(static_cast<int>(number)).writable;
}

bool CAddInNative::SetPropVal(const long number, tVariant*) {
  // Port and Baud accept a write and keep their values: the port is chosen
  // by OpenPort's arguments and the driver's settings.
  return number >= 0 && number <= 3;
}

bool CAddInNative::GetPropVal(const long number, tVariant* value) {
  return guarded(false, [&] {
    if (!value) return false;
    const Answer& answer = link_.answer();
    switch (number) {
      case 0: WriteUI2(value, port_.number); return true;
      case 1: WriteUI4(value, port_.baud); return true;
      case 2: WriteBool(value, port_.open); return true;
      case 3: return WriteText(memory_, value, texts_.lastCmd);
      case 4: return WriteText(memory_, value, texts_.lastAnswer);
      case 6:
      case 11: return WriteText(memory_, value, errorCodeText());
      case 7: return WriteText(memory_, value, kVersionText);
      case 8: return WriteText(memory_, value, kAuthorText);
      case 9: return WriteText(memory_, value, kCompanyText);
      case 12: return WriteText(memory_, value, errorMessage());
      case 13: WriteUI2(value, static_cast<uint16_t>(answer.fieldCount)); return true;
      case 14: WriteUI4(value, status::ReceiptStatus(answer.status)); return true;
      case 15: WriteUI4(value, status::ShiftStatus(answer.status)); return true;
      default: return false;  // LastError and Password cannot be read
    }
  });
}

// ---- calls --------------------------------------------------------------------

bool CAddInNative::CallAsProc(const long number, tVariant* args, const long count) {
  return guarded(false, [&] {
    if (number < 0 || number >= kMethodCount) return false;
    const MethodDef& m = methodDef(static_cast<int>(number));
    if (!(m.forms & kProc) || !m.handler) return false;
    Call call(memory_, args, count, nullptr);
    return m.handler(*this, call);
  });
}

bool CAddInNative::CallAsFunc(const long number, tVariant* result, tVariant* args, const long count) {
  return guarded(false, [&] {
    if (number < 0 || number >= kMethodCount || !result) return false;
    const MethodDef& m = methodDef(static_cast<int>(number));
    if (!(m.forms & kFunc) || !m.handler) return false;
    Call call(memory_, args, count, result);
    return m.handler(*this, call);
  });
}

}  // namespace ostrel
