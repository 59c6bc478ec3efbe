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

CAddInNative::CAddInNative() : context_(systemClock(), linkTimings(), createSystemSerialPort) {}

// A port left open would stay locked until the host process ends: nothing
// can reach it once the object is gone. Every port object closes its device
// when it is destroyed, with the component (here) or when Init lets it go.
CAddInNative::~CAddInNative() = default;

// ---- IInitDoneBase ----------------------------------------------------------

bool CAddInNative::Init(void* connection) {
  return guarded(false, [&] {
    connection_ = connection;
    context_.reset();
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

long CAddInNative::GetNProps() { return propertyCount(); }
long CAddInNative::GetNMethods() { return methodCount(); }

long CAddInNative::FindProp(const WCHAR_T* name) {
  return guarded(-1L, [&] { return findProperty(textOf(name)); });
}

long CAddInNative::FindMethod(const WCHAR_T* name) {
  return guarded(-1L, [&] { return findMethod(textOf(name)); });
}

const WCHAR_T* CAddInNative::GetPropName(long number, long language) {
  return guarded(static_cast<const WCHAR_T*>(nullptr), [&]() -> const WCHAR_T* {
    if (number < 0 || number >= propertyCount() || (language != 0 && language != 1)) return nullptr;
    const PropertyDef& p = propertyDef(static_cast<int>(number));
    return AllocPlatformText(memory_, language == 0 ? p.english : p.russian);
  });
}

const WCHAR_T* CAddInNative::GetMethodName(const long number, const long language) {
  return guarded(static_cast<const WCHAR_T*>(nullptr), [&]() -> const WCHAR_T* {
    if (number < 0 || number >= methodCount() || (language != 0 && language != 1)) return nullptr;
    const MethodDef& m = methodDef(static_cast<int>(number));
    return AllocPlatformText(memory_, language == 0 ? m.english : m.russian);
  });
}

long CAddInNative::GetNParams(const long number) {
  if (number < 0 || number >= methodCount()) return 0;
  return methodDef(static_cast<int>(number)).params.count;
}

bool CAddInNative::GetParamDefValue(const long method, const long position, tVariant* value) {
  return guarded(false, [&] {
    if (!value) return false;
    value->vt = VTYPE_EMPTY;
    if (method < 0 || method >= methodCount()) return false;
    return declaredDefault(methodDef(static_cast<int>(method)), static_cast<int>(position), memory_, value);
  });
}

bool CAddInNative::HasRetVal(const long number) {
  if (number < 0 || number >= methodCount()) return false;
  return methodDef(static_cast<int>(number)).returnsValue;
}

// ---- properties ---------------------------------------------------------------

bool CAddInNative::IsPropReadable(const long number) { return number >= 0 && number < propertyCount(); }

bool CAddInNative::IsPropWritable(const long number) {
  return number >= 0 && number < propertyCount() && propertyDef(static_cast<int>(number)).writable;
}

bool CAddInNative::SetPropVal(const long number, tVariant*) {
  return number >= 0 && number < propertyCount() && propertyDef(static_cast<int>(number)).acceptsWrite;
}

bool CAddInNative::GetPropVal(const long number, tVariant* value) {
  return guarded(false, [&] {
    if (!value || number < 0 || number >= propertyCount()) return false;
    Getter read = propertyDef(static_cast<int>(number)).read;
    return read && read(context_, memory_, value);
  });
}

// ---- calls --------------------------------------------------------------------

bool CAddInNative::CallAsProc(const long number, tVariant* args, const long count) {
  return guarded(false, [&] {
    if (number < 0 || number >= methodCount()) return false;
    const MethodDef& m = methodDef(static_cast<int>(number));
    if (!(m.forms & kProc) || !m.work.runs()) return false;
    HostCall call(memory_, args, count, nullptr);
    return runMethod(m, context_, call);
  });
}

bool CAddInNative::CallAsFunc(const long number, tVariant* result, tVariant* args, const long count) {
  return guarded(false, [&] {
    if (number < 0 || number >= methodCount() || !result) return false;
    const MethodDef& m = methodDef(static_cast<int>(number));
    if (!(m.forms & kFunc) || !m.work.runs()) return false;
    HostCall call(memory_, args, count, result);
    return runMethod(m, context_, call);
  });
}

}  // namespace ostrel
