// Value: an argument, result or default as the host sees it, with its type
// code and payload, and its conversion to and from the platform's variant.
#pragma once

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <string>
#include <vector>

#include "abihost/layout.h"
#include "abihost/variant.h"

namespace abihost {

class MemoryManager;

struct Value {
  std::uint16_t type = layout::VT_EMPTY;
  std::int64_t integer = 0;    // I1, I2, I4, I8, INT, ERROR, HRESULT; UI1..UI4, UINT
  std::uint64_t unsigned64 = 0;  // UI8
  double real = 0;             // R4, R8, DATE
  bool boolean = false;        // BOOL
  std::u16string text;         // PWSTR
  std::string bytes;           // PSTR, BLOB
  void* pointer = nullptr;     // INTERFACE

  // Factories, one per type the host passes.
  static Value empty();
  static Value null();
  static Value i1(std::int8_t v);
  static Value i2(std::int16_t v);
  static Value i4(std::int32_t v);
  static Value i8(std::int64_t v);
  static Value ui1(std::uint8_t v);
  static Value ui2(std::uint16_t v);
  static Value ui4(std::uint32_t v);
  static Value ui8(std::uint64_t v);
  static Value int_(std::int32_t v);    // VT_INT
  static Value uint_(std::uint32_t v);  // VT_UINT
  static Value r4(float v);
  static Value r8(double v);
  static Value date(double v);
  static Value boolean_(bool v);
  static Value text_(std::u16string v);
  static Value pstr(std::string v);
  static Value blob(std::string v);
  static Value interface_(void* p);
  static Value error(std::int32_t v);

  bool isText() const { return type == layout::VT_PWSTR; }

  // Writes this value into `out` for passing to a component. Texts (PWSTR,
  // PSTR, BLOB) are copied into `storage`, which must outlive the variant;
  // PWSTR is NUL-terminated and carries its length in wstrLen.
  void toRaw(RawVariant& out, std::deque<std::string>& storage) const;

  // Reads a variant a component filled. A text is read with its wstrLen and
  // must lie in a live block of `mm` that holds the text and its NUL; any
  // breach is appended to `problems` and the text is not read. With `mm` null
  // the text is read without checks (for variants the host filled itself).
  static Value fromRaw(const RawVariant& raw, const MemoryManager* mm, std::vector<std::string>* problems);

  // "PWSTR \"abc\"", "UI4 5", "EMPTY".
  std::string toString() const;
};

bool operator==(const Value& a, const Value& b);
inline bool operator!=(const Value& a, const Value& b) { return !(a == b); }
std::ostream& operator<<(std::ostream& os, const Value& v);

}  // namespace abihost
