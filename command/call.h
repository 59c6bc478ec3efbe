// One call as a method sees it: its arguments, read by the kind the method
// expects, and the places its results go. The host's variants stay behind
// this interface (addin/call.h), so the methods never read a variant of one
// type as another and can be driven in tests without a host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrel {

class Call {
 public:
  // What an argument holds, for the methods that treat a number and a text
  // differently.
  enum class Kind { Missing, Empty, Text, Number, Other };

  virtual ~Call() = default;

  // True in the function form, where a result is expected.
  virtual bool isFunction() const = 0;
  virtual long count() const = 0;
  bool has(int i) const { return i >= 0 && i < count(); }
  virtual Kind kind(int i) const = 0;

  // Argument i read as the kind named; false when missing or of another kind.
  virtual bool text(int i, std::u16string& out) const = 0;
  virtual bool integer(int i, int32_t& out) const = 0;
  virtual bool real(int i, double& out) const = 0;
  // The low byte of an integer argument.
  bool byte(int i, uint8_t& out) const {
    int32_t value = 0;
    if (!integer(i, value)) return false;
    out = static_cast<uint8_t>(value & 0xFF);
    return true;
  }

  // The result of the function form; ignored in the procedure form. The text
  // writer fails when the text cannot be handed over.
  virtual bool resultText(std::u16string_view text) = 0;
  virtual void resultBool(bool value) = 0;
  virtual void resultI4(int32_t value) = 0;
  virtual void resultUI1(uint8_t value) = 0;
  virtual void resultUI4(uint32_t value) = 0;
  virtual void resultR8(double value) = 0;

  // Output arguments; false when the argument is missing or the text cannot
  // be handed over.
  virtual bool outText(int i, std::u16string_view text) = 0;
  virtual bool outI4(int i, int32_t value) = 0;
  virtual bool outBool(int i, bool value) = 0;
};

}  // namespace ostrel
