// Library and Component: load a component library and drive one component
// object exactly as the platform does, through the three exports and the
// interface vtables by slot number.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "abihost/connection.h"
#include "abihost/layout.h"
#include "abihost/memory.h"
#include "abihost/value.h"
#include "abihost/variant.h"

namespace abihost {

// Loading failures and misuse of the host API (not the component's answers,
// which are returned as they come).
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A loaded component library and its three exports.
class Library {
 public:
  // Loads the library and resolves the exports; throws HostError on failure.
  explicit Library(const std::string& path);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  const std::string& path() const { return path_; }

  // The exports, called as they are.
  const char16_t* getClassNames() const;
  long getClassObject(const char16_t* name, void** object) const;
  long destroyObject(void** object) const;

  // Address of any exported symbol, or null.
  void* symbol(const char* name) const;

 private:
  using GetClassNamesFn = const char16_t* (*)();
  using GetClassObjectFn = long (*)(const char16_t*, void**);
  using DestroyObjectFn = long (*)(void**);

  std::string path_;
  void* handle_ = nullptr;
  GetClassNamesFn getClassNames_ = nullptr;
  GetClassObjectFn getClassObject_ = nullptr;
  DestroyObjectFn destroyObject_ = nullptr;
};

// Outcome of a call through CallAsProc or CallAsFunc.
struct CallResult {
  bool ok = false;            // what the component answered
  Value result;               // the result variant (function form)
  std::vector<Value> args;    // the arguments as the call left them
  std::vector<std::string> problems;  // host-side checks that failed (texts from elsewhere, ...)
};

// One component object with its own memory manager and connection object.
class Component {
 public:
  // How far to bring the object up after GetClassObject.
  enum class Setup {
    Created,  // only created
    Ready,    // setMemManager, then Init with the connection object
  };

  // Creates the object (GetClassObject with `className`); throws HostError if
  // the library gives none.
  explicit Component(std::shared_ptr<Library> library, Setup setup = Setup::Ready,
                     const std::u16string& className = u"CAddInNative");
  ~Component();  // Done is not called; DestroyObject is, if not done already
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  void* object() const { return object_; }
  // Address of an interface subobject (its vtable pointer).
  void* subobject(layout::Interface i) const;
  MemoryManager& memory() { return *memory_; }
  Connection& connection() { return *connection_; }
  Library& library() { return *library_; }

  // DestroyObject; returns its answer. Later calls on this Component throw.
  long destroy();

  // ---- IInitDoneBase ------------------------------------------------------
  bool init(void* connection);
  bool init() { return init(connection_->platformObject()); }
  bool setMemManager(void* memoryManager);
  bool setMemManager() { return setMemManager(memory_->platformObject()); }
  long getInfo();
  void done();

  // ---- LocaleBase ---------------------------------------------------------
  void setLocale(const char16_t* name);

  // ---- ILanguageExtenderBase, raw -----------------------------------------
  bool registerExtensionAs(char16_t** name);
  long getNProps();
  long findProp(const char16_t* name);
  const char16_t* getPropName(long number, long language);
  bool getPropVal(long number, RawVariant* value);
  bool setPropVal(long number, RawVariant* value);
  bool isPropReadable(long number);
  bool isPropWritable(long number);
  long getNMethods();
  long findMethod(const char16_t* name);
  const char16_t* getMethodName(long number, long language);
  long getNParams(long method);
  bool getParamDefValue(long method, long param, RawVariant* value);
  bool hasRetVal(long method);
  bool callAsProc(long method, RawVariant* args, long count);
  bool callAsFunc(long method, RawVariant* result, RawVariant* args, long count);

  // ---- Helpers: values read, checked and freed as the platform would --------
  // A name handed out by the component (extension, property, method), or
  // nullopt when the component answered false or null. A name not allocated
  // by the memory manager is recorded as a problem.
  std::optional<std::u16string> extensionName();
  std::optional<std::u16string> propName(long number, long language);
  std::optional<std::u16string> methodName(long number, long language);

  long findProp(const std::u16string& name) { return findProp(name.c_str()); }
  long findMethod(const std::u16string& name) { return findMethod(name.c_str()); }

  // GetPropVal / SetPropVal with values; nullopt / false when refused.
  std::optional<Value> getProperty(long number);
  std::optional<Value> getProperty(const std::u16string& name);
  bool setProperty(long number, const Value& value);

  // GetParamDefValue; nullopt when the component has no default there.
  std::optional<Value> paramDefault(long method, long param);

  // Completes `args` to GetNParams(method) entries with the declared
  // defaults, as the platform does for arguments a script leaves out. A
  // missing argument without a default stays EMPTY.
  std::vector<Value> withDefaults(long method, std::vector<Value> args);

  // CallAsProc / CallAsFunc with values. The `name` forms look the method up
  // with FindMethod and throw HostError if it is unknown.
  CallResult callProc(long method, const std::vector<Value>& args);
  CallResult callFunc(long method, const std::vector<Value>& args);
  CallResult callProc(const std::u16string& name, const std::vector<Value>& args);
  CallResult callFunc(const std::u16string& name, const std::vector<Value>& args);

  // Everything that went wrong on the host side so far: texts that did not
  // come from the memory manager, misuse of the memory manager, any call of
  // the connection object. Empty for a well-behaved component.
  std::vector<std::string> problems() const;

 private:
  template <class R, class... A>
  R call(layout::Interface iface, int slot, A... args);
  std::optional<std::u16string> takeText(const char16_t* p);
  CallResult invoke(bool function, long method, const std::vector<Value>& args);
  long methodNumber(const std::u16string& name);

  std::shared_ptr<Library> library_;
  std::unique_ptr<MemoryManager> memory_;
  std::unique_ptr<Connection> connection_;
  void* object_ = nullptr;
  std::vector<std::string> problems_;
};

}  // namespace abihost
