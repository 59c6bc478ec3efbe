// A printer command as a method declares it, and the data fields methods
// build. The whole data field is built and checked before anything changes,
// so a refused call sends nothing and changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "command/call.h"
#include "command/context.h"
#include "device/codes.h"

namespace ostrel {

// Data fields built from a format hold at most 199 characters; those joined
// from the password and fixed text at most 99.
constexpr size_t kFormatLimit = 199;
constexpr size_t kJoinLimit = 99;

constexpr int kMaxConversions = 12;

// One printer command filled from the call's arguments.
struct CommandDef {
  uint8_t code = 0;
  // "%s" takes a text argument, "%i" an integer argument written in decimal;
  // every other character is literal.
  const char* format = nullptr;
  // The argument each conversion of the format takes, in order.
  int8_t args[kMaxConversions] = {};
  int conversions = 0;
  // Text arguments that pass through the LastCmd text (bit i: argument i);
  // afterwards LastCmd shows the last of them.
  uint16_t lastCmd = 0;
  uint8_t advances = 1;  // sequence advances before the exchange
  size_t limit = kFormatLimit;  // longest data field
};

// The conversion letters of a format in order ('s' or 'i'), or 0 past the
// last one.
constexpr char ConversionAt(const char* format, int index) {
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'i')) {
      if (index-- == 0) return p[1];
      ++p;
    }
  }
  return 0;
}

constexpr int ConversionCount(const char* format) {
  int n = 0;
  while (ConversionAt(format, n)) ++n;
  return n;
}

constexpr uint16_t Args(std::initializer_list<int> indices) {
  uint16_t mask = 0;
  for (int i : indices) mask = static_cast<uint16_t>(mask | (1u << i));
  return mask;
}

// A command whose fields take the arguments `fields` in order.
constexpr CommandDef Command(uint8_t code, const char* format, std::initializer_list<int> fields, uint16_t lastCmd,
                             int advances, size_t limit) {
  CommandDef def;
  def.code = code;
  def.format = format;
  for (int index : fields) def.args[def.conversions++] = static_cast<int8_t>(index);
  def.lastCmd = lastCmd;
  def.advances = static_cast<uint8_t>(advances);
  def.limit = limit;
  return def;
}

// False when the data holds a byte that delimits frames (0x01 to 0x05): such
// a text would end the frame early or start another one at the printer, so
// it is refused rather than sent.
bool SendableDataField(std::string_view data);

// Builds a data field from a format and the call's arguments; false when an
// argument is missing or of the wrong kind, the field would be longer
// than `limit`, or it is not sendable.
bool BuildDataField(const Call& call, const char* format, const int8_t* args, size_t limit, std::string& out);

// Formats with ready byte texts and integers ("%s" and "%i" in order); false
// when longer than `limit` or not sendable.
struct FieldValue {
  FieldValue(const std::string& text) : text(&text) {}
  FieldValue(int64_t number) : number(number) {}
  const std::string* text = nullptr;
  int64_t number = 0;
};
bool FormatDataField(const char* format, std::initializer_list<FieldValue> values, size_t limit, std::string& out);

// A method's own work, where a command row is not enough. The answer is what
// the host gets back from the call: false for a call refused (an argument of
// the wrong kind, a data field too long, nothing done).
using Handler = bool (*)(CommandContext& context, Call& call);

// Builds the data field, passes the LastCmd arguments through, advances and
// exchanges; false (nothing sent, nothing changed) when the field cannot be
// built.
bool RunCommand(CommandContext& context, Call& call, const CommandDef& def);

}  // namespace ostrel
