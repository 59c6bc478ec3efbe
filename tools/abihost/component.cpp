#include "abihost/component.h"

#include <cstring>
#include <deque>

#include "abihost/loader.h"
#include "abihost/text.h"

namespace abihost {

// ---- Library ----------------------------------------------------------------

Library::Library(const std::string& path) : path_(path) {
  std::string error;
  handle_ = loader::open(path, error);
  if (!handle_) throw HostError("cannot load " + path + ": " + error);
  getClassNames_ = reinterpret_cast<GetClassNamesFn>(loader::find(handle_, "GetClassNames"));
  getClassObject_ = reinterpret_cast<GetClassObjectFn>(loader::find(handle_, "GetClassObject"));
  destroyObject_ = reinterpret_cast<DestroyObjectFn>(loader::find(handle_, "DestroyObject"));
  if (!getClassNames_ || !getClassObject_ || !destroyObject_) {
    loader::close(handle_);
    handle_ = nullptr;
    throw HostError(path + " lacks one of GetClassNames, GetClassObject, DestroyObject");
  }
}

Library::~Library() {
  if (handle_) loader::close(handle_);
}

const char16_t* Library::getClassNames() const { return getClassNames_(); }
long Library::getClassObject(const char16_t* name, void** object) const { return getClassObject_(name, object); }
long Library::destroyObject(void** object) const { return destroyObject_(object); }
void* Library::symbol(const char* name) const { return loader::find(handle_, name); }

// ---- Component: raw operations -----------------------------------------------

Component::Component(std::shared_ptr<Library> library, Setup setup, const std::u16string& className)
    : library_(std::move(library)), memory_(new MemoryManager), connection_(new Connection) {
  if (!library_) throw HostError("no library");
  long answer = library_->getClassObject(className.c_str(), &object_);
  if (answer == 0 || object_ == nullptr) {
    object_ = nullptr;
    throw HostError("GetClassObject gave no object");
  }
  if (setup == Setup::Ready) {
    setMemManager();
    init();
  }
}

Component::~Component() {
  if (object_) library_->destroyObject(&object_);
}

long Component::destroy() {
  if (!object_) throw HostError("component already destroyed");
  long answer = library_->destroyObject(&object_);
  object_ = nullptr;
  return answer;
}

void* Component::subobject(layout::Interface i) const {
  return static_cast<char*>(object_) + layout::subobjectOffset(i);
}

template <class R, class... A>
R Component::call(layout::Interface iface, int slot, A... args) {
  if (!object_) throw HostError("component already destroyed");
  void* self = subobject(iface);
  void* const* vtable = *static_cast<void* const* const*>(self);
  using Fn = R(ABIHOST_CALL*)(void*, A...);
  Fn fn = reinterpret_cast<Fn>(vtable[slot]);
  return fn(self, args...);
}

using layout::Interface;
namespace id = layout::initdone;
namespace le = layout::langext;

bool Component::init(void* connection) { return call<bool>(Interface::InitDone, id::Init, connection); }
bool Component::setMemManager(void* mm) { return call<bool>(Interface::InitDone, id::SetMemManager, mm); }
long Component::getInfo() { return call<long>(Interface::InitDone, id::GetInfo); }
void Component::done() { call<void>(Interface::InitDone, id::Done); }
void Component::setLocale(const char16_t* name) { call<void>(Interface::Locale, layout::locale::SetLocale, name); }

bool Component::registerExtensionAs(char16_t** name) {
  return call<bool>(Interface::LanguageExtender, le::RegisterExtensionAs, name);
}
long Component::getNProps() { return call<long>(Interface::LanguageExtender, le::GetNProps); }
long Component::findProp(const char16_t* name) { return call<long>(Interface::LanguageExtender, le::FindProp, name); }
const char16_t* Component::getPropName(long number, long language) {
  return call<const char16_t*>(Interface::LanguageExtender, le::GetPropName, number, language);
}
bool Component::getPropVal(long number, RawVariant* value) {
  return call<bool>(Interface::LanguageExtender, le::GetPropVal, number, static_cast<void*>(value));
}
bool Component::setPropVal(long number, RawVariant* value) {
  return call<bool>(Interface::LanguageExtender, le::SetPropVal, number, static_cast<void*>(value));
}
bool Component::isPropReadable(long number) { return call<bool>(Interface::LanguageExtender, le::IsPropReadable, number); }
bool Component::isPropWritable(long number) { return call<bool>(Interface::LanguageExtender, le::IsPropWritable, number); }
long Component::getNMethods() { return call<long>(Interface::LanguageExtender, le::GetNMethods); }
long Component::findMethod(const char16_t* name) { return call<long>(Interface::LanguageExtender, le::FindMethod, name); }
const char16_t* Component::getMethodName(long number, long language) {
  return call<const char16_t*>(Interface::LanguageExtender, le::GetMethodName, number, language);
}
long Component::getNParams(long method) { return call<long>(Interface::LanguageExtender, le::GetNParams, method); }
bool Component::getParamDefValue(long method, long param, RawVariant* value) {
  return call<bool>(Interface::LanguageExtender, le::GetParamDefValue, method, param, static_cast<void*>(value));
}
bool Component::hasRetVal(long method) { return call<bool>(Interface::LanguageExtender, le::HasRetVal, method); }
bool Component::callAsProc(long method, RawVariant* args, long count) {
  return call<bool>(Interface::LanguageExtender, le::CallAsProc, method, static_cast<void*>(args), count);
}
bool Component::callAsFunc(long method, RawVariant* result, RawVariant* args, long count) {
  return call<bool>(Interface::LanguageExtender, le::CallAsFunc, method, static_cast<void*>(result),
                    static_cast<void*>(args), count);
}

// ---- Component: helpers --------------------------------------------------------

std::optional<std::u16string> Component::takeText(const char16_t* p) {
  if (p == nullptr) return std::nullopt;
  std::size_t size = memory_->sizeOf(p);
  if (size == 0) {
    problems_.push_back("a name was handed out that the memory manager did not allocate");
    return std::nullopt;
  }
  std::size_t max = size / sizeof(char16_t);
  std::size_t n = 0;
  while (n < max && p[n] != u'\0') ++n;
  if (n == max) {
    problems_.push_back("a name handed out has no NUL inside its block");
    memory_->release(p);
    return std::nullopt;
  }
  std::u16string text(p, n);
  memory_->release(p);
  return text;
}

std::optional<std::u16string> Component::extensionName() {
  char16_t* name = nullptr;
  if (!registerExtensionAs(&name)) {
    if (name && memory_->owns(name)) memory_->release(name);
    return std::nullopt;
  }
  if (name == nullptr) {
    problems_.push_back("RegisterExtensionAs answered true and left the name unset");
    return std::nullopt;
  }
  return takeText(name);
}

std::optional<std::u16string> Component::propName(long number, long language) {
  return takeText(getPropName(number, language));
}

std::optional<std::u16string> Component::methodName(long number, long language) {
  return takeText(getMethodName(number, language));
}

namespace {
void releaseValue(MemoryManager& mm, const RawVariant& raw) {
  auto t = raw.type();
  if (t == layout::VT_PWSTR || t == layout::VT_PSTR || t == layout::VT_BLOB) {
    if (mm.owns(raw.pointer())) mm.release(raw.pointer());
  }
}
}  // namespace

std::optional<Value> Component::getProperty(long number) {
  RawVariant raw;
  if (!getPropVal(number, &raw)) return std::nullopt;
  Value v = Value::fromRaw(raw, memory_.get(), &problems_);
  releaseValue(*memory_, raw);
  return v;
}

std::optional<Value> Component::getProperty(const std::u16string& name) {
  long number = findProp(name);
  if (number < 0) throw HostError("no property " + toUtf8(name));
  return getProperty(number);
}

bool Component::setProperty(long number, const Value& value) {
  std::deque<std::string> storage;
  RawVariant raw;
  value.toRaw(raw, storage);
  return setPropVal(number, &raw);
}

std::optional<Value> Component::paramDefault(long method, long param) {
  RawVariant raw;
  if (!getParamDefValue(method, param, &raw)) {
    releaseValue(*memory_, raw);
    return std::nullopt;
  }
  Value v = Value::fromRaw(raw, memory_.get(), &problems_);
  releaseValue(*memory_, raw);
  return v;
}

std::vector<Value> Component::withDefaults(long method, std::vector<Value> args) {
  long n = getNParams(method);
  for (long i = static_cast<long>(args.size()); i < n; ++i) {
    std::optional<Value> d = paramDefault(method, i);
    args.push_back(d ? *d : Value::empty());
  }
  return args;
}

CallResult Component::invoke(bool function, long method, const std::vector<Value>& args) {
  CallResult out;
  std::deque<std::string> storage;
  std::vector<RawVariant> raw(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) args[i].toRaw(raw[i], storage);
  std::vector<RawVariant> sent = raw;
  RawVariant result;
  RawVariant* argv = raw.empty() ? nullptr : raw.data();
  long count = static_cast<long>(raw.size());
  out.ok = function ? callAsFunc(method, &result, argv, count) : callAsProc(method, argv, count);

  if (function) {
    out.result = Value::fromRaw(result, memory_.get(), &out.problems);
    releaseValue(*memory_, result);
  }
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (std::memcmp(raw[i].bytes, sent[i].bytes, sizeof raw[i].bytes) == 0) {
      out.args.push_back(args[i]);
      continue;
    }
    // An output argument: the component wrote a new value into the variant.
    out.args.push_back(Value::fromRaw(raw[i], memory_.get(), &out.problems));
    releaseValue(*memory_, raw[i]);
  }
  problems_.insert(problems_.end(), out.problems.begin(), out.problems.end());
  return out;
}

CallResult Component::callProc(long method, const std::vector<Value>& args) { return invoke(false, method, args); }
CallResult Component::callFunc(long method, const std::vector<Value>& args) { return invoke(true, method, args); }

long Component::methodNumber(const std::u16string& name) {
  long number = findMethod(name);
  if (number < 0) throw HostError("no method " + toUtf8(name));
  return number;
}

CallResult Component::callProc(const std::u16string& name, const std::vector<Value>& args) {
  return invoke(false, methodNumber(name), args);
}
CallResult Component::callFunc(const std::u16string& name, const std::vector<Value>& args) {
  return invoke(true, methodNumber(name), args);
}

std::vector<std::string> Component::problems() const {
  std::vector<std::string> all = problems_;
  for (auto& v : memory_->violations()) all.push_back(v);
  for (int slot : connection_->calls()) all.push_back("connection object slot " + std::to_string(slot) + " was called");
  return all;
}

}  // namespace abihost
