#include "command/command.h"

#include "command/numbers.h"
#include "command/text.h"

namespace ostrel {

bool SendableDataField(std::string_view data) {
  for (char c : data) {
    if (c >= 0x01 && c <= 0x05) return false;
  }
  return true;
}

bool BuildDataField(const Call& call, const char* format, const int8_t* args, size_t limit, std::string& out) {
  out.clear();
  int conversion = 0;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'i')) {
      int index = args[conversion++];
      if (p[1] == 's') {
        std::u16string text;
        if (!call.text(index, text)) return false;
        out += AnsiFromWide(text);
      } else {
        int32_t value = 0;
        if (!call.integer(index, value)) return false;
        out += DecimalText(value);
      }
      ++p;
    } else {
      out.push_back(*p);
    }
    if (out.size() > limit) return false;
  }
  return out.size() <= limit && SendableDataField(out);
}

bool FormatDataField(const char* format, std::initializer_list<FieldValue> values, size_t limit, std::string& out) {
  out.clear();
  auto value = values.begin();
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'i') && value != values.end()) {
      if (p[1] == 's' && value->text) {
        out += *value->text;
      } else {
        out += DecimalText(value->number);
      }
      ++value;
      ++p;
    } else {
      out.push_back(*p);
    }
    if (out.size() > limit) return false;
  }
  return out.size() <= limit && SendableDataField(out);
}

bool RunCommand(CommandContext& context, Call& call, const CommandDef& def) {
  std::string data;
  if (!BuildDataField(call, def.format, def.args, def.limit, data)) return false;
  context.passThroughLastCmd(call, def.lastCmd);
  context.send(def.code, data, def.advances);
  return true;
}

}  // namespace ostrel
