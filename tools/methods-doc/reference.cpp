#include "reference.h"

#include <charconv>
#include <cstring>

#include "addin/registry.h"
#include "device/codes.h"

namespace ostrel::methods_doc {
namespace {

std::string utf8(const char16_t* text) {
  std::string out;
  for (const char16_t* p = text; *p; ++p) {
    char32_t c = *p;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string number(double value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// "command 128 (status)" for a code the component sends.
std::string commandText(uint8_t code) { return "command " + std::to_string(code) + " (" + code::nameOf(code) + ")"; }

// Replaces {cmd:NAME} by the command whose trace name is NAME and
// {default-password} by the default operator password; anything else in
// braces is a problem.
std::string expandTokens(const std::string& text, const std::string& where, std::vector<std::string>* problems) {
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t open = text.find('{', pos);
    if (open == std::string::npos) break;
    size_t close = text.find('}', open);
    if (close == std::string::npos) close = text.size();
    std::string token = text.substr(open + 1, close - open - 1);
    out += text.substr(pos, open - pos);
    std::string value;
    if (token == "default-password") value = kDefaultPassword;
    for (const code::Named& named : code::kNames) {
      if (token == std::string("cmd:") + named.name) value = commandText(named.code);
    }
    if (value.empty() && problems) problems->push_back(where + ": unknown token {" + token + "}");
    out += value;
    pos = close + 1;
  }
  if (pos < text.size()) out += text.substr(pos);
  return out;
}

std::string cell(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += ' ';
    else if (c == '|') out += "\\|";
    else out += c;
  }
  return out;
}

const char* typeName(Type type) {
  switch (type) {
    case Type::Text: return "text";
    case Type::UI1: return "number, 0 to 255";
    case Type::UI4: return "number, unsigned 32-bit";
    case Type::I4: return "number, signed 32-bit";
    case Type::R8: return "number";
    case Type::Bool: return "Boolean";
    case Type::Date: return "date";
    case Type::Variant: return "any";
  }
  return "";
}

std::string defaultText(const Param& p) {
  switch (p.given) {
    case Param::Default::None: return "none: pass it";
    case Param::Default::TypeOnly: return "none (only the type is announced)";
    case Param::Default::Value: break;
  }
  if (p.type == Type::Text) return std::string("`\"") + p.text + "\"`";
  if (p.type == Type::Bool) return p.number != 0 ? "`true`" : "`false`";
  return "`" + number(p.number) + "`";
}

std::string formText(const MethodDef& m) {
  switch (m.forms) {
    case kProc: return "procedure";
    case kFunc: return "function";
    case kBoth: return "procedure or function";
    default: return "neither form runs it";
  }
}

std::string paramName(const MethodMeaning* meaning, int i) {
  if (meaning && i < static_cast<int>(meaning->params.size())) return meaning->params[i].first;
  return "argument " + std::to_string(i);
}

// A format with each conversion replaced by the name of the argument it
// takes: "%s;%i;0;" -> "<password>;<operator>;0;".
std::string dataField(const char* format, const int8_t* args, const MethodMeaning* meaning) {
  std::string out;
  int k = 0;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'i')) {
      out += "<" + paramName(meaning, args[k++]) + ">";
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

namespace {

std::string lastCmdText(uint16_t mask, const MethodMeaning* meaning) {
  int last = -1;
  for (int i = 0; i < 16; ++i) {
    if (mask & (1u << i)) last = i;
  }
  if (last < 0) return "";
  return " Afterwards `LastCmd` reads the text passed as `" + paramName(meaning, last) + "`.";
}

std::string refusalText(size_t limit) {
  return " A data field longer than " + std::to_string(limit) +
         " characters, or one holding a byte 0x01 to 0x05, is refused: the call fails and nothing is sent.";
}

// What the row itself says the method sends: a command filled from the
// arguments, or a money counter.
std::string sendsText(const MethodDef& m, const MethodMeaning* meaning) {
  const CommandDef& c = m.work.command;
  if (!m.work.handler && c.format) {
    return "**Sends** " + commandText(c.code) + " with the data field `" + dataField(c.format, c.args, meaning) +
           "`." + refusalText(c.limit) + lastCmdText(c.lastCmd, meaning) + "\n\n";
  }
  const CounterDef& n = m.work.counter;
  if (!m.work.handler && n.format) {
    return "**Sends** " + commandText(code::kCounters) + " with the data field `" +
           dataField(n.format, kCounterArgs, meaning) + "` and returns answer field " + std::to_string(n.field) +
           (n.numeric ? " read as a number." : " as the printer wrote it, as text.") +
           lastCmdText(Args({0}), meaning) + "\n\n";
  }
  return "";
}

// The commands a row sends, for the index: its own, or those its meaning names.
std::string indexCommands(const MethodDef& m, const MethodMeaning* meaning) {
  if (!m.work.handler && m.work.command.format) return std::to_string(m.work.command.code);
  if (!m.work.handler && m.work.counter.format) return std::to_string(code::kCounters);
  std::string out;
  if (!meaning) return out;
  for (const code::Named& named : code::kNames) {
    std::string token = std::string("{cmd:") + named.name + "}";
    std::string all = meaning->summary + meaning->fails;
    std::string number = std::to_string(named.code);
    if (all.find(token) != std::string::npos) out += (out.empty() ? "" : ", ") + number;
  }
  return out;
}

std::string commandsCell(const MethodDef& m, const MethodMeaning* meaning) {
  std::string codes = indexCommands(m, meaning);
  return codes.empty() ? "-" : codes;
}

std::string paramsTable(const MethodDef& m, const MethodMeaning* meaning, const std::string& where,
                        std::vector<std::string>* problems) {
  if (m.params.count == 0) return "No parameters.\n\n";
  std::string out = "| # | Parameter | Type | Default | Meaning |\n|---|---|---|---|---|\n";
  for (int i = 0; i < m.params.count; ++i) {
    const Param& p = m.params.list[i];
    std::string text;
    if (meaning && i < static_cast<int>(meaning->params.size()))
      text = expandTokens(meaning->params[i].second, where, problems);
    out += "| " + std::to_string(i) + " | " + paramName(meaning, i) + " | " + typeName(p.type) + " | " +
           defaultText(p) + " | " + cell(text) + " |\n";
  }
  return out + "\n";
}

}  // namespace

Reference::Reference(std::string_view meaningsText) : meanings_(ParseMeanings(meaningsText)) { check(); }

const Reference& Reference::builtIn() {
  static const Reference reference(BuiltInMeaningsText());
  return reference;
}

const MethodMeaning* Reference::methodMeaning(int number) const {
  std::string name = utf8(methodDef(number).english);
  for (const MethodMeaning& m : meanings_.methods) {
    if (m.name == name) return &m;
  }
  return nullptr;
}

const PropertyMeaning* Reference::propertyMeaning(int number) const {
  std::string name = utf8(propertyDef(number).english);
  for (const PropertyMeaning& p : meanings_.properties) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

void Reference::check() {
  problems_ = meanings_.problems;
  if (meanings_.intro.empty()) problems_.push_back("the intro is missing");
  for (int i = 0; i < methodCount(); ++i) {
    const MethodDef& def = methodDef(i);
    const MethodMeaning* m = methodMeaning(i);
    std::string name = utf8(def.english);
    if (!m) {
      problems_.push_back("method " + std::to_string(i) + " " + name + " has no meaning entry");
      continue;
    }
    std::string at = "line " + std::to_string(m->line) + ": " + name;
    if (static_cast<int>(m->params.size()) != def.params.count)
      problems_.push_back(at + " gives " + std::to_string(m->params.size()) + " parameters, the table declares " +
                          std::to_string(def.params.count));
    if (m->summary.empty()) problems_.push_back(at + " has no summary");
    if (def.returnsValue && m->result.empty()) problems_.push_back(at + " returns a value but its entry has no result");
    for (const std::string* text : {&m->summary, &m->result, &m->reads, &m->fails}) expandTokens(*text, at, &problems_);
    for (const auto& p : m->params) expandTokens(p.second, at, &problems_);
  }
  for (int i = 0; i < propertyCount(); ++i) {
    const PropertyMeaning* p = propertyMeaning(i);
    if (!p) problems_.push_back("property " + std::to_string(i) + " " + utf8(propertyDef(i).english) + " has no meaning entry");
    else expandTokens(p->text, "line " + std::to_string(p->line) + ": " + p->name, &problems_);
  }
  for (const MethodMeaning& m : meanings_.methods) {
    long found = findMethod(std::u16string(m.name.begin(), m.name.end()));
    std::string at = "line " + std::to_string(m.line) + ": ";
    if (found < 0 || utf8(methodDef(found).english) != m.name)
      problems_.push_back(at + "method " + m.name + " is not in the table");
    else if (methodMeaning(found) != &m)
      problems_.push_back(at + "method " + m.name + " has a second entry");
  }
  for (const PropertyMeaning& p : meanings_.properties) {
    long found = findProperty(std::u16string(p.name.begin(), p.name.end()));
    std::string at = "line " + std::to_string(p.line) + ": ";
    if (found < 0 || utf8(propertyDef(found).english) != p.name)
      problems_.push_back(at + "property " + p.name + " is not in the table");
    else if (propertyMeaning(found) != &p)
      problems_.push_back(at + "property " + p.name + " has a second entry");
  }
}

namespace {

// Which method a Russian name shared with others finds, and what the others
// must be called by.
std::string sharedNameNote(int number) {
  const MethodDef& def = methodDef(number);
  long found = findMethod(def.russian);
  if (found == number) {
    for (int i = 0; i < methodCount(); ++i) {
      if (i != number && std::u16string_view(methodDef(i).russian) == def.russian)
        return "The Russian name is also that of `" + utf8(methodDef(i).english) +
               "`; it finds this method.\n\n";
    }
    return "";
  }
  return "The Russian name is also that of `" + utf8(methodDef(found).english) +
         "`, which the name finds: call this method by its English name `" + utf8(def.english) + "`.\n\n";
}

std::string paragraph(const char* title, const std::string& text) {
  if (text.empty()) return "";
  return std::string("**") + title + "** " + text + "\n\n";
}

std::string lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

std::string Reference::renderMethod(int number) const {
  const MethodDef& def = methodDef(number);
  const MethodMeaning* m = methodMeaning(number);
  std::string out = "### " + utf8(def.english) + "\n\n";
  out += "`" + utf8(def.russian) + "` · method " + std::to_string(number) + " · " + formText(def) +
         (def.returnsValue ? ", returns a value" : "") + "\n\n";
  out += sharedNameNote(number);
  if (m) out += expandTokens(m->summary, "", nullptr) + "\n\n";
  out += paramsTable(def, m, "", nullptr);
  out += sendsText(def, m);
  if (m) {
    out += paragraph("Result.", expandTokens(m->result, "", nullptr));
    out += paragraph("Read afterwards.", expandTokens(m->reads, "", nullptr));
    out += paragraph("Failures.", expandTokens(m->fails, "", nullptr));
  }
  return out;
}

std::string Reference::renderProperty(int number) const {
  const PropertyDef& def = propertyDef(number);
  const PropertyMeaning* p = propertyMeaning(number);
  std::string read = def.read ? "yes" : "announced, but a read fails";
  std::string write = def.writable ? (def.acceptsWrite ? "announced; accepted and changes nothing" : "announced, but refused")
                                   : (def.acceptsWrite ? "not announced; accepted and changes nothing" : "no");
  return "| " + std::to_string(number) + " | `" + utf8(def.english) + "` | `" + utf8(def.russian) + "` | " + read +
         " | " + write + " | " + cell(p ? expandTokens(p->text, "", nullptr) : "") + " |\n";
}

std::string Reference::renderIndex() const {
  std::string out = "| # | English | Russian | Form | Commands |\n|---|---|---|---|---|\n";
  for (int i = 0; i < methodCount(); ++i) {
    const MethodDef& def = methodDef(i);
    std::string english = utf8(def.english);
    out += "| " + std::to_string(i) + " | [" + english + "](#" + lowercase(english) + ") | `" + utf8(def.russian) +
           "` | " + formText(def) + " | " + commandsCell(def, methodMeaning(i)) + " |\n";
  }
  return out + "\n";
}

std::string Reference::renderSharedNames() const {
  std::string out;
  for (int i = 0; i < methodCount(); ++i) {
    long found = findMethod(methodDef(i).russian);
    if (found == i) continue;
    out += "- `" + utf8(methodDef(i).russian) + "` names `" + utf8(methodDef(found).english) + "` (method " +
           std::to_string(found) + ") and `" + utf8(methodDef(i).english) + "` (method " + std::to_string(i) +
           "). A lookup by the name finds `" + utf8(methodDef(found).english) + "`; call `" +
           utf8(methodDef(i).english) + "` by its English name.\n";
  }
  return out.empty() ? "" : "## Russian names shared by two methods\n\n" + out + "\n";
}

std::string Reference::renderDocument() const {
  std::string out =
      "# Methods and properties\n\n"
      "<!-- Generated by tools/methods-doc from the method and property tables (addin/methods.cpp,\n"
      "     addin/registry.cpp) and docs/methods/meanings.txt. Do not edit: run scripts/methods-doc. -->\n\n";
  out += expandTokens(meanings_.intro, "", nullptr) + "\n\n";
  out += "## Index\n\n" + renderIndex();
  out += renderSharedNames();
  out += "## Methods\n\n";
  for (int i = 0; i < methodCount(); ++i) out += renderMethod(i);
  out += "## Properties\n\n| # | English | Russian | Read | Write | Meaning |\n|---|---|---|---|---|---|\n";
  for (int i = 0; i < propertyCount(); ++i) out += renderProperty(i);
  return out;
}

}  // namespace ostrel::methods_doc
