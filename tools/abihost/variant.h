// RawVariant: the platform's variant as bytes of the platform's size, with
// accessors that read and write members at the platform's offsets.
#pragma once

#include <cstdint>
#include <cstring>

#include "abihost/layout.h"

namespace abihost {

struct alignas(layout::kVariantAlign) RawVariant {
  unsigned char bytes[layout::kVariantSize];

  RawVariant() { clear(); }

  // All bytes zero: type EMPTY, no value.
  void clear() { std::memset(bytes, 0, sizeof bytes); }
  // Every byte set to `b`: lets a test see which bytes a callee wrote.
  void fill(unsigned char b) { std::memset(bytes, b, sizeof bytes); }

  template <class T>
  T get(std::size_t offset) const {
    static_assert(sizeof(T) <= layout::kVariantSize, "member too large");
    T v;
    std::memcpy(&v, bytes + offset, sizeof v);
    return v;
  }
  template <class T>
  void put(std::size_t offset, T v) {
    std::memcpy(bytes + offset, &v, sizeof v);
  }

  std::uint16_t type() const { return get<std::uint16_t>(layout::kTypeOffset); }
  void setType(std::uint16_t vt) { put(layout::kTypeOffset, vt); }
  std::uint32_t cbElements() const { return get<std::uint32_t>(layout::kCbElementsOffset); }

  // Value members, all at the start of the union.
  template <class T>
  T value() const { return get<T>(layout::kValueOffset); }
  template <class T>
  void setValue(T v) { put(layout::kValueOffset, v); }

  // {char16_t* pwstrVal; uint32_t wstrLen;} and {char* pstrVal; uint32_t strLen;}
  void* pointer() const { return get<void*>(layout::kValueOffset); }
  void setPointer(const void* p) { put(layout::kValueOffset, const_cast<void*>(p)); }
  std::uint32_t length() const { return get<std::uint32_t>(layout::kLengthOffset); }
  void setLength(std::uint32_t n) { put(layout::kLengthOffset, n); }
};

static_assert(sizeof(RawVariant) == layout::kVariantSize, "variant size");
#if defined(_WIN32)
static_assert(sizeof(RawVariant) == 48 && layout::kCbElementsOffset == 40 && layout::kTypeOffset == 44, "Windows variant");
#elif defined(__x86_64__)
static_assert(sizeof(RawVariant) == 64 && layout::kCbElementsOffset == 56 && layout::kTypeOffset == 60, "x86_64 variant");
#elif defined(__i386__)
static_assert(sizeof(RawVariant) == 52 && layout::kCbElementsOffset == 44 && layout::kTypeOffset == 48, "x86 variant");
#endif

}  // namespace abihost
