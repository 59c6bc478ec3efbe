// The component's vocabulary: every property and every method, each one row
// of one table.
#pragma once

#include <cstdint>
#include <string_view>

#include "addin/abi.h"

namespace ostrel {

class CAddInNative;
class Call;

// A method's work. The answer is what the host gets back from the call (the
// procedure form of a command method answers true unless the call was refused:
// an argument of the wrong kind, a data field too long, nothing done).
using Handler = bool (*)(CAddInNative& component, Call& call);

enum Forms : uint8_t {
  kNoForm = 0,
  kProc = 1,  // CallAsProc runs it
  kFunc = 2,  // CallAsFunc runs it
  kBoth = kProc | kFunc,
};

struct MethodDef {
  int number;
  const char16_t* english;
  const char16_t* russian;
  int params;
  bool returnsValue;
  // Declared defaults by position, separated by "|": "s:TEXT" a text,
  // "ui1:N" "ui4:N" "i4:N" "r8:X" "bool:0|1" a number or boolean, "T?" only
  // the type T with the value not set, "-" no default.
  const char* defaults;
  uint8_t forms;
  Handler handler;
};

constexpr int kMethodCount = 82;
constexpr int kPropertyCount = 16;

const MethodDef& methodDef(int number);

struct PropertyDef {
  int number;
  const char16_t* english;
  const char16_t* russian;
  bool readable;  // as announced; LastError and Password are announced readable but cannot be read
  bool writable;
};
const PropertyDef& propertyDef(int number);

// Exact lookup: English names first, then Russian, first match; -1 if none.
long findMethod(std::u16string_view name);
long findProperty(std::u16string_view name);

// Fills `value` with the declared default of a parameter; false when there
// is none (the type is still set to EMPTY first).
bool declaredDefault(const MethodDef& method, int position, IMemoryManager* memory, tVariant* value);

}  // namespace ostrel
