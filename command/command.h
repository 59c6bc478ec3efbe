// The pattern every printer command method shares: read the arguments, build
// the data field, advance the sequence, exchange, leave the answer for the
// script. The whole data field is built and checked before anything changes,
// so a refused call sends nothing and changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "addin/call.h"
#include "addin/component.h"

namespace ostrel {

// Data fields built from a format hold at most 199 characters; those joined
// from the password and fixed text at most 99.
constexpr size_t kFormatLimit = 199;
constexpr size_t kJoinLimit = 99;

struct CommandDef {
  uint8_t code;
  // "%s" takes a text argument, "%i" an integer argument written in decimal;
  // every other character is literal.
  const char* format;
  // The argument each conversion of the format takes, in order.
  std::array<int8_t, 12> args;
  // Text arguments that pass through the LastCmd text (bit i: argument i);
  // afterwards LastCmd shows the last of them.
  uint16_t lastCmd;
  uint8_t advances;  // AdvanceSequence runs before the exchange
  uint8_t limit;     // longest data field
};

// False when the data holds a byte that delimits frames (0x01 to 0x05): such
// a text would end the frame early or start another one at the printer, so
// it is refused rather than sent.
bool SendableDataField(std::string_view data);

// Builds a data field from a format and the call's arguments; false when an
// argument is missing or of the wrong kind, the field would be longer
// than `limit`, or it is not sendable.
bool BuildDataField(const Call& call, const char* format, const int8_t* args, size_t limit, std::string& out);

// Formats with ready byte texts and integers ("%s" and "%i" in order); false
// when longer than `limit`.
struct FieldValue {
  FieldValue(const std::string& text) : text(&text) {}
  FieldValue(int64_t number) : number(number) {}
  const std::string* text = nullptr;
  int64_t number = 0;
};
bool FormatDataField(const char* format, std::initializer_list<FieldValue> values, size_t limit, std::string& out);

// Sets LastCmd to the last of the given text arguments (by the mask).
void PassThroughLastCmd(CAddInNative& component, const Call& call, uint16_t mask);

bool RunCommand(CAddInNative& component, Call& call, const CommandDef& def);

template <const CommandDef& Def>
bool SendCommand(CAddInNative& component, Call& call) {
  return RunCommand(component, call, Def);
}

constexpr uint16_t Args(std::initializer_list<int> indices) {
  uint16_t mask = 0;
  for (int i : indices) mask = static_cast<uint16_t>(mask | (1u << i));
  return mask;
}

}  // namespace ostrel
