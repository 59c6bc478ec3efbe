// One call from the host: reading its arguments by the kind a method expects
// (checking the variant's type code first, so a number is never read as a
// text pointer or the reverse) and writing results through the host's
// allocator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "addin/abi.h"

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

// Readers of one argument. They answer false when the variant's type does not
// convert to the kind asked for.
bool ReadText(const tVariant& v, std::u16string& out);
bool ReadInteger(const tVariant& v, int32_t& out);
bool ReadReal(const tVariant& v, double& out);

class Call {
 public:
  Call(IMemoryManager* memory, tVariant* args, long count, tVariant* result)
      : memory_(memory), args_(args), count_(args ? count : 0), result_(result) {}

  bool isFunction() const { return result_ != nullptr; }
  long count() const { return count_; }
  bool has(int i) const { return i >= 0 && i < count_; }
  tVariant* arg(int i) { return has(i) ? &args_[i] : nullptr; }
  const tVariant* arg(int i) const { return has(i) ? &args_[i] : nullptr; }

  // Argument i read as the kind named; false when missing or of another kind.
  bool text(int i, std::u16string& out) const { return has(i) && ReadText(args_[i], out); }
  bool integer(int i, int32_t& out) const { return has(i) && ReadInteger(args_[i], out); }
  bool byte(int i, uint8_t& out) const;
  bool real(int i, double& out) const { return has(i) && ReadReal(args_[i], out); }

  // Result of the function form (ignored in the procedure form).
  bool resultText(std::u16string_view text);
  void resultBool(bool value) { if (result_) WriteBool(result_, value); }
  void resultI4(int32_t value) { if (result_) WriteI4(result_, value); }
  void resultUI1(uint8_t value) { if (result_) WriteUI1(result_, value); }
  void resultUI4(uint32_t value) { if (result_) WriteUI4(result_, value); }
  void resultR8(double value) { if (result_) WriteR8(result_, value); }

  // Output arguments; false when the argument is missing or the text cannot
  // be allocated.
  bool outText(int i, std::u16string_view text);
  bool outI4(int i, int32_t value);
  bool outBool(int i, bool value);

 private:
  IMemoryManager* memory_;
  tVariant* args_;
  long count_;
  tVariant* result_;
};

}  // namespace ostrel
