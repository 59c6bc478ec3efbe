#include "addin/call.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "command/numbers.h"
#include "command/text.h"

namespace ostrel {

WCHAR_T* AllocPlatformText(IMemoryManager* memory, std::u16string_view text) {
  if (!memory) return nullptr;
  void* buffer = nullptr;
  unsigned long bytes = static_cast<unsigned long>((text.size() + 1) * sizeof(WCHAR_T));
  if (!memory->AllocMemory(&buffer, bytes) || !buffer) return nullptr;
  auto* out = static_cast<WCHAR_T*>(buffer);
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<WCHAR_T>(text[i]);
  out[text.size()] = 0;
  return out;
}

namespace {
void clearValue(tVariant* target) { std::memset(static_cast<void*>(target), 0, offsetof(tVariant, cbElements)); }
}  // namespace

bool WriteText(IMemoryManager* memory, tVariant* target, std::u16string_view text) {
  if (!target) return false;
  WCHAR_T* buffer = AllocPlatformText(memory, text);
  if (!buffer) return false;
  clearValue(target);
  target->pwstrVal = buffer;
  target->wstrLen = static_cast<uint32_t>(text.size());
  target->vt = VTYPE_PWSTR;
  return true;
}

void WriteBool(tVariant* target, bool value) {
  clearValue(target);
  target->bVal = value;
  target->vt = VTYPE_BOOL;
}
void WriteI4(tVariant* target, int32_t value) {
  clearValue(target);
  target->lVal = value;
  target->vt = VTYPE_I4;
}
void WriteUI1(tVariant* target, uint8_t value) {
  clearValue(target);
  target->ui8Val = value;
  target->vt = VTYPE_UI1;
}
void WriteUI2(tVariant* target, uint16_t value) {
  clearValue(target);
  target->ushortVal = value;
  target->vt = VTYPE_UI2;
}
void WriteUI4(tVariant* target, uint32_t value) {
  clearValue(target);
  target->ulVal = value;
  target->vt = VTYPE_UI4;
}
void WriteR8(tVariant* target, double value) {
  clearValue(target);
  target->dblVal = value;
  target->vt = VTYPE_R8;
}

namespace {

// The integer value of an integer-typed variant, widened.
bool integerOf(const tVariant& v, int64_t& out, bool& unsignedBig) {
  unsignedBig = false;
  switch (v.vt) {
    case VTYPE_I1: out = v.i8Val; return true;
    case VTYPE_I2: out = v.shortVal; return true;
    case VTYPE_I4: out = v.lVal; return true;
    case VTYPE_INT: out = v.intVal; return true;
    case VTYPE_I8: out = v.llVal; return true;
    case VTYPE_UI1: out = v.ui8Val; return true;
    case VTYPE_UI2: out = v.ushortVal; return true;
    case VTYPE_UI4: out = v.ulVal; return true;
    case VTYPE_UINT: out = v.uintVal; return true;
    case VTYPE_UI8:
      if (v.ullVal > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        unsignedBig = true;
        return true;
      }
      out = static_cast<int64_t>(v.ullVal);
      return true;
    default: return false;
  }
}

}  // namespace

bool ReadText(const tVariant& v, std::u16string& out) {
  int64_t whole = 0;
  bool big = false;
  if (v.vt == VTYPE_PWSTR) {
    out.clear();
    if (!v.pwstrVal) return true;
    // Up to the terminating NUL; a length the host set bounds the read.
    size_t limit = v.wstrLen ? v.wstrLen : std::numeric_limits<size_t>::max();
    for (size_t i = 0; i < limit && v.pwstrVal[i] != 0; ++i) out.push_back(static_cast<char16_t>(v.pwstrVal[i]));
    return true;
  }
  if (v.vt == VTYPE_EMPTY) {
    out.clear();
    return true;
  }
  if (integerOf(v, whole, big)) {
    std::string text = big ? std::to_string(v.ullVal) : DecimalText(whole);
    out.assign(text.begin(), text.end());
    return true;
  }
  if (v.vt == VTYPE_R8 || v.vt == VTYPE_R4) {
    std::string text = v.vt == VTYPE_R8 ? ShortestText(v.dblVal) : ShortestText(v.fltVal);
    if (text.empty()) return false;
    out.assign(text.begin(), text.end());
    return true;
  }
  return false;
}

bool ReadInteger(const tVariant& v, int32_t& out) {
  int64_t whole = 0;
  bool big = false;
  if (integerOf(v, whole, big)) {
    if (big || whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
      // Unsigned 32-bit values keep their bits, as the host's 32-bit field would.
      if (!big && (v.vt == VTYPE_UI4 || v.vt == VTYPE_UINT)) {
        out = static_cast<int32_t>(static_cast<uint32_t>(whole));
        return true;
      }
      return false;
    }
    out = static_cast<int32_t>(whole);
    return true;
  }
  switch (v.vt) {
    case VTYPE_EMPTY: out = 0; return true;
    case VTYPE_BOOL: out = v.bVal ? 1 : 0; return true;
    case VTYPE_R8:
    case VTYPE_R4: {
      double d = v.vt == VTYPE_R8 ? v.dblVal : static_cast<double>(v.fltVal);
      if (!std::isfinite(d) || d != std::floor(d) || d < std::numeric_limits<int32_t>::min() ||
          d > std::numeric_limits<int32_t>::max())
        return false;
      out = static_cast<int32_t>(d);
      return true;
    }
    case VTYPE_PWSTR: {
      std::u16string text;
      if (!ReadText(v, text)) return false;
      auto parsed = ParseWholeInteger(text);
      if (!parsed || *parsed < std::numeric_limits<int32_t>::min() || *parsed > std::numeric_limits<int32_t>::max())
        return false;
      out = static_cast<int32_t>(*parsed);
      return true;
    }
    default: return false;
  }
}

bool ReadReal(const tVariant& v, double& out) {
  int64_t whole = 0;
  bool big = false;
  if (integerOf(v, whole, big)) {
    out = big ? static_cast<double>(v.ullVal) : static_cast<double>(whole);
    return true;
  }
  switch (v.vt) {
    case VTYPE_EMPTY: out = 0; return true;
    case VTYPE_R8: out = v.dblVal; return std::isfinite(out);
    case VTYPE_R4: out = v.fltVal; return std::isfinite(out);
    case VTYPE_PWSTR: {
      std::u16string text;
      if (!ReadText(v, text)) return false;
      std::string ascii;
      for (char16_t c : text) {
        if (c > 0x7F) return false;
        ascii.push_back(static_cast<char>(c == ',' ? '.' : c));
      }
      size_t i = 0;
      while (i < ascii.size() && ascii[i] == ' ') ++i;
      if (i == ascii.size()) return false;
      const char* first = ascii.c_str() + i;
      const char* last = ascii.c_str() + ascii.size();
      bool negative = false;
      if (*first == '-' || *first == '+') negative = *first++ == '-';
      double d = 0;
      auto res = std::from_chars(first, last, d, std::chars_format::fixed);
      if (res.ec != std::errc() || res.ptr != last) return false;
      out = negative ? -d : d;
      return std::isfinite(out);
    }
    default: return false;
  }
}

Call::Kind KindOf(const tVariant& v) {
  switch (v.vt) {
    case VTYPE_EMPTY: return Call::Kind::Empty;
    case VTYPE_PWSTR: return Call::Kind::Text;
    case VTYPE_I1: case VTYPE_I2: case VTYPE_I4: case VTYPE_I8: case VTYPE_INT:
    case VTYPE_UI1: case VTYPE_UI2: case VTYPE_UI4: case VTYPE_UI8: case VTYPE_UINT:
    case VTYPE_R4: case VTYPE_R8:
      return Call::Kind::Number;
    default: return Call::Kind::Other;
  }
}

bool HostCall::resultText(std::u16string_view text) {
  if (!result_) return true;
  return WriteText(memory_, result_, text);
}

bool HostCall::outText(int i, std::u16string_view text) {
  if (!has(i)) return false;
  return WriteText(memory_, &args_[i], text);
}

bool HostCall::outI4(int i, int32_t value) {
  if (!has(i)) return false;
  WriteI4(&args_[i], value);
  return true;
}

bool HostCall::outBool(int i, bool value) {
  if (!has(i)) return false;
  WriteBool(&args_[i], value);
  return true;
}

}  // namespace ostrel
