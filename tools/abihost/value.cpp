#include "abihost/value.h"

#include <cstring>
#include <ostream>
#include <sstream>
#include <iomanip>

#include "abihost/memory.h"
#include "abihost/text.h"

namespace abihost {

using namespace layout;

namespace {
Value make(std::uint16_t type) {
  Value v;
  v.type = type;
  return v;
}
Value makeInt(std::uint16_t type, std::int64_t i) {
  Value v = make(type);
  v.integer = i;
  return v;
}
}  // namespace

Value Value::empty() { return make(VT_EMPTY); }
Value Value::null() { return make(VT_NULL); }
Value Value::i1(std::int8_t v) { return makeInt(VT_I1, v); }
Value Value::i2(std::int16_t v) { return makeInt(VT_I2, v); }
Value Value::i4(std::int32_t v) { return makeInt(VT_I4, v); }
Value Value::i8(std::int64_t v) { return makeInt(VT_I8, v); }
Value Value::ui1(std::uint8_t v) { return makeInt(VT_UI1, v); }
Value Value::ui2(std::uint16_t v) { return makeInt(VT_UI2, v); }
Value Value::ui4(std::uint32_t v) { return makeInt(VT_UI4, v); }
Value Value::ui8(std::uint64_t v) {
  Value r = make(VT_UI8);
  r.unsigned64 = v;
  return r;
}
Value Value::int_(std::int32_t v) { return makeInt(VT_INT, v); }
Value Value::uint_(std::uint32_t v) { return makeInt(VT_UINT, v); }
Value Value::r4(float v) {
  Value r = make(VT_R4);
  r.real = v;
  return r;
}
Value Value::r8(double v) {
  Value r = make(VT_R8);
  r.real = v;
  return r;
}
Value Value::date(double v) {
  Value r = make(VT_DATE);
  r.real = v;
  return r;
}
Value Value::boolean_(bool v) {
  Value r = make(VT_BOOL);
  r.boolean = v;
  return r;
}
Value Value::text_(std::u16string v) {
  Value r = make(VT_PWSTR);
  r.text = std::move(v);
  return r;
}
Value Value::pstr(std::string v) {
  Value r = make(VT_PSTR);
  r.bytes = std::move(v);
  return r;
}
Value Value::blob(std::string v) {
  Value r = make(VT_BLOB);
  r.bytes = std::move(v);
  return r;
}
Value Value::interface_(void* p) {
  Value r = make(VT_INTERFACE);
  r.pointer = p;
  return r;
}
Value Value::error(std::int32_t v) { return makeInt(VT_ERROR, v); }

void Value::toRaw(RawVariant& out, std::deque<std::string>& storage) const {
  out.clear();
  switch (type) {
    case VT_I1: out.setValue<std::int8_t>(static_cast<std::int8_t>(integer)); break;
    case VT_I2: out.setValue<std::int16_t>(static_cast<std::int16_t>(integer)); break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR: out.setValue<std::int32_t>(static_cast<std::int32_t>(integer)); break;
    case VT_HRESULT: out.setValue<long>(static_cast<long>(integer)); break;
    case VT_I8: out.setValue<std::int64_t>(integer); break;
    case VT_UI1: out.setValue<std::uint8_t>(static_cast<std::uint8_t>(integer)); break;
    case VT_UI2: out.setValue<std::uint16_t>(static_cast<std::uint16_t>(integer)); break;
    case VT_UI4:
    case VT_UINT: out.setValue<std::uint32_t>(static_cast<std::uint32_t>(integer)); break;
    case VT_UI8: out.setValue<std::uint64_t>(unsigned64); break;
    case VT_R4: out.setValue<float>(static_cast<float>(real)); break;
    case VT_R8:
    case VT_DATE: out.setValue<double>(real); break;
    case VT_BOOL: out.setValue<bool>(boolean); break;
    case VT_PWSTR: {
      std::string& block = storage.emplace_back((text.size() + 1) * sizeof(char16_t), '\0');
      std::memcpy(&block[0], text.data(), text.size() * sizeof(char16_t));
      out.setPointer(block.data());
      out.setLength(static_cast<std::uint32_t>(text.size()));
      break;
    }
    case VT_PSTR:
    case VT_BLOB: {
      std::string& block = storage.emplace_back(bytes);
      block.push_back('\0');
      out.setPointer(block.data());
      out.setLength(static_cast<std::uint32_t>(bytes.size()));
      break;
    }
    case VT_INTERFACE: out.setPointer(pointer); break;
    default: break;
  }
  out.setType(type);
}

namespace {

void note(std::vector<std::string>* problems, const std::string& what) {
  if (problems) problems->push_back(what);
}

// A PWSTR's text, checked against the memory manager's block (when there is
// one) and for its NUL at wstrLen.
void readText(const RawVariant& raw, const MemoryManager* mm, Value& v, std::vector<std::string>* problems) {
  const auto* p = static_cast<const char16_t*>(raw.pointer());
  std::uint32_t len = raw.length();
  if (p == nullptr) {
    if (len != 0) note(problems, "PWSTR with a null pointer and length " + std::to_string(len));
    return;
  }
  if (mm != nullptr) {
    std::size_t size = mm->sizeOf(p);
    if (size == 0) {
      note(problems, "PWSTR text not allocated by the memory manager");
      return;
    }
    if (size < (static_cast<std::size_t>(len) + 1) * sizeof(char16_t)) {
      note(problems, "PWSTR length " + std::to_string(len) + " overruns its block of " + std::to_string(size) + " bytes");
      return;
    }
  }
  v.text.assign(p, len);
  if (p[len] != u'\0') note(problems, "PWSTR text lacks its NUL at wstrLen");
  if (v.text.find(u'\0') != std::u16string::npos) note(problems, "PWSTR text holds a NUL before wstrLen");
}

// A PSTR's or BLOB's bytes, checked against the memory manager's block.
void readBytes(const RawVariant& raw, const MemoryManager* mm, Value& v, std::vector<std::string>* problems) {
  const auto* p = static_cast<const char*>(raw.pointer());
  std::uint32_t len = raw.length();
  if (p == nullptr) return;
  if (mm != nullptr) {
    std::size_t size = mm->sizeOf(p);
    if (size == 0 || size < len) {
      note(problems, std::string(typeName(v.type)) + " bytes not allocated by the memory manager");
      return;
    }
  }
  v.bytes.assign(p, len);
}

}  // namespace

Value Value::fromRaw(const RawVariant& raw, const MemoryManager* mm, std::vector<std::string>* problems) {
  Value v = make(raw.type());
  switch (v.type) {
    case VT_I1: v.integer = raw.value<std::int8_t>(); break;
    case VT_I2: v.integer = raw.value<std::int16_t>(); break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR: v.integer = raw.value<std::int32_t>(); break;
    case VT_HRESULT: v.integer = raw.value<long>(); break;
    case VT_I8: v.integer = raw.value<std::int64_t>(); break;
    case VT_UI1: v.integer = raw.value<std::uint8_t>(); break;
    case VT_UI2: v.integer = raw.value<std::uint16_t>(); break;
    case VT_UI4:
    case VT_UINT: v.integer = raw.value<std::uint32_t>(); break;
    case VT_UI8: v.unsigned64 = raw.value<std::uint64_t>(); break;
    case VT_R4: v.real = raw.value<float>(); break;
    case VT_R8:
    case VT_DATE: v.real = raw.value<double>(); break;
    case VT_BOOL: {
      unsigned char b = raw.value<unsigned char>();
      if (b > 1) note(problems, "BOOL holds " + std::to_string(b) + ", neither 0 nor 1");
      v.boolean = b != 0;
      break;
    }
    case VT_PWSTR: readText(raw, mm, v, problems); break;
    case VT_PSTR:
    case VT_BLOB: readBytes(raw, mm, v, problems); break;
    case VT_INTERFACE: v.pointer = raw.pointer(); break;
    default: break;
  }
  return v;
}

std::string Value::toString() const {
  std::ostringstream os;
  os << typeName(type);
  switch (type) {
    case VT_EMPTY:
    case VT_NULL: break;
    case VT_UI8: os << ' ' << unsigned64; break;
    case VT_R4:
    case VT_R8:
    case VT_DATE: os << ' ' << std::setprecision(17) << real; break;
    case VT_BOOL: os << (boolean ? " true" : " false"); break;
    case VT_PWSTR: os << " \"" << toUtf8(text) << '"'; break;
    case VT_PSTR:
    case VT_BLOB: os << " \"" << bytes << '"'; break;
    case VT_INTERFACE: os << ' ' << pointer; break;
    default: os << ' ' << integer; break;
  }
  return os.str();
}

bool operator==(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case VT_EMPTY:
    case VT_NULL: return true;
    case VT_UI8: return a.unsigned64 == b.unsigned64;
    case VT_R4:
    case VT_R8:
    case VT_DATE: return a.real == b.real;
    case VT_BOOL: return a.boolean == b.boolean;
    case VT_PWSTR: return a.text == b.text;
    case VT_PSTR:
    case VT_BLOB: return a.bytes == b.bytes;
    case VT_INTERFACE: return a.pointer == b.pointer;
    default: return a.integer == b.integer;
  }
}

std::ostream& operator<<(std::ostream& os, const Value& v) { return os << v.toString(); }

const char* layout::typeName(std::uint16_t code) {
  static const char* const names[] = {"EMPTY", "NULL", "I2", "I4", "R4", "R8", "DATE", "TM", "PSTR",
                                      "INTERFACE", "ERROR", "BOOL", "VARIANT", "I1", "UI1", "UI2", "UI4",
                                      "I8", "UI8", "INT", "UINT", "HRESULT", "PWSTR", "BLOB", "CLSID"};
  return code < sizeof names / sizeof names[0] ? names[code] : "?";
}

}  // namespace abihost
