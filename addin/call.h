// The host's values: reading a variant by the kind a method expects
// (checking the type code first, so a number is never read as a text
// pointer or the reverse) and writing results through the host's allocator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "addin/abi.h"
#include "command/call.h"

namespace ostrel {

// Copies a text into memory from the host's allocator. Null when there is no
// allocator or it refuses.
WCHAR_T* AllocPlatformText(IMemoryManager* memory, std::u16string_view text);

// Writers of values into a host variant. The text writer fails (false, the
// variant untouched) when the text cannot be allocated.
bool WriteText(IMemoryManager* memory, tVariant* target, std::u16string_view text);
void WriteBool(tVariant* target, bool value);
void WriteI4(tVariant* target, int32_t value);
void WriteUI1(tVariant* target, uint8_t value);
void WriteUI2(tVariant* target, uint16_t value);
void WriteUI4(tVariant* target, uint32_t value);
void WriteR8(tVariant* target, double value);

// Readers of one variant. They answer false when its type does not convert
// to the kind asked for.
bool ReadText(const tVariant& v, std::u16string& out);
bool ReadInteger(const tVariant& v, int32_t& out);
bool ReadReal(const tVariant& v, double& out);
Call::Kind KindOf(const tVariant& v);

// One call from the host: its argument array and, in the function form, the
// result variant.
class HostCall final : public Call {
 public:
  HostCall(IMemoryManager* memory, tVariant* args, long count, tVariant* result)
      : memory_(memory), args_(args), count_(args ? count : 0), result_(result) {}

  bool isFunction() const override { return result_ != nullptr; }
  long count() const override { return count_; }
  Kind kind(int i) const override { return has(i) ? KindOf(args_[i]) : Kind::Missing; }

  bool text(int i, std::u16string& out) const override { return has(i) && ReadText(args_[i], out); }
  bool integer(int i, int32_t& out) const override { return has(i) && ReadInteger(args_[i], out); }
  bool real(int i, double& out) const override { return has(i) && ReadReal(args_[i], out); }

  bool resultText(std::u16string_view text) override;
  void resultBool(bool value) override { if (result_) WriteBool(result_, value); }
  void resultI4(int32_t value) override { if (result_) WriteI4(result_, value); }
  void resultUI1(uint8_t value) override { if (result_) WriteUI1(result_, value); }
  void resultUI4(uint32_t value) override { if (result_) WriteUI4(result_, value); }
  void resultR8(double value) override { if (result_) WriteR8(result_, value); }

  bool outText(int i, std::u16string_view text) override;
  bool outI4(int i, int32_t value) override;
  bool outBool(int i, bool value) override;

 private:
  IMemoryManager* memory_;
  tVariant* args_;
  long count_;
  tVariant* result_;
};

}  // namespace ostrel
