// The component's vocabulary: every property and every method, each one row
// of one table. A method's row holds its names, its typed parameters with
// their defaults, its call forms and its work: a printer command filled from
// the arguments, or a handler.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "addin/abi.h"
#include "command/command.h"
#include "status/status.h"

namespace ostrel {

// The type a parameter announces to the host.
enum class Type : uint8_t { Text, UI1, UI4, I4, R8, Bool, Date, Variant };

constexpr bool IsInteger(Type t) { return t == Type::UI1 || t == Type::UI4 || t == Type::I4; }

struct Param {
  enum class Default : uint8_t { None, Value, TypeOnly };
  Type type = Type::Text;
  // None: GetParamDefValue answers false; Value: the value below; TypeOnly:
  // the type is announced and the value left as the host passed it in.
  Default given = Default::None;
  const char* text = "";  // Text
  double number = 0;      // every other type
};

// Declared defaults.
constexpr Param Text(const char* value) { return {Type::Text, Param::Default::Value, value, 0}; }
constexpr Param Password() { return Text(kDefaultPassword); }
constexpr Param UI1(uint8_t value) { return {Type::UI1, Param::Default::Value, "", static_cast<double>(value)}; }
constexpr Param UI4(uint32_t value) { return {Type::UI4, Param::Default::Value, "", static_cast<double>(value)}; }
constexpr Param I4(int32_t value) { return {Type::I4, Param::Default::Value, "", static_cast<double>(value)}; }
constexpr Param R8(double value) { return {Type::R8, Param::Default::Value, "", value}; }
constexpr Param Bool(bool value) { return {Type::Bool, Param::Default::Value, "", value ? 1.0 : 0.0}; }
// Only the type; and a parameter with no default at all.
constexpr Param TypeOnly(Type type) { return {type, Param::Default::TypeOnly, "", 0}; }
constexpr Param NoDefault(Type type) { return {type, Param::Default::None, "", 0}; }

constexpr int kMaxParams = 12;

struct Params {
  Param list[kMaxParams] = {};
  int count = 0;
  constexpr Params() = default;
  constexpr Params(std::initializer_list<Param> params) {
    for (const Param& p : params) list[count++] = p;
  }
};

enum Forms : uint8_t {
  kNoForm = 0,
  kProc = 1,  // CallAsProc runs it
  kFunc = 2,  // CallAsFunc runs it
  kBoth = kProc | kFunc,
};

// A method's work: a printer command, a money counter, a handler, or
// nothing (found by name, run by neither form).
struct Work {
  Handler handler = nullptr;
  CommandDef command{};
  CounterDef counter{};
  constexpr Work() = default;
  constexpr Work(Handler h) : handler(h) {}
  constexpr Work(const CommandDef& c) : command(c) {}
  constexpr Work(const CounterDef& c) : counter(c) {}
  constexpr bool runs() const { return handler || command.format || counter.format; }
};

struct MethodDef {
  int number;
  const char16_t* english;
  const char16_t* russian;
  Params params;
  bool returnsValue;
  uint8_t forms;
  Work work;
};

long methodCount();
const MethodDef& methodDef(int number);
// Runs a method's work.
bool runMethod(const MethodDef& method, CommandContext& context, Call& call);

// A property's value, read from the context; false when it cannot be read.
using Getter = bool (*)(const CommandContext& context, IMemoryManager* memory, tVariant* value);

struct PropertyDef {
  int number;
  const char16_t* english;
  const char16_t* russian;
  Getter read;          // null: announced readable, but a read fails
  bool writable;        // what IsPropWritable announces
  bool acceptsWrite;    // what SetPropVal answers; nothing is ever stored
};

long propertyCount();
const PropertyDef& propertyDef(int number);

// Exact lookup: English names first, then Russian, first match; -1 if none.
long findMethod(std::u16string_view name);
long findProperty(std::u16string_view name);

// Fills `value` with the declared default of a parameter; false when there
// is none (the type is still set to EMPTY first).
bool declaredDefault(const MethodDef& method, int position, IMemoryManager* memory, tVariant* value);

}  // namespace ostrel
