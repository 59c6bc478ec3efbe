#include "values.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "abihost/layout.h"
#include "abihost/text.h"

namespace addinhost {

using abihost::Value;
namespace L = abihost::layout;

const char kArgumentSyntax[] =
    "Arguments (one word each; in a shell, quote a text word as '\"5\"'):\n"
    "  \"text\"          text (\\\" \\\\ \\n \\t \\r escapes)\n"
    "  word            a word that is not a number, boolean or keyword is text too\n"
    "  12  -7          integer (I4; I8 when it does not fit)\n"
    "  1.5  -0.25      real (R8)\n"
    "  true  false     boolean (also Истина, Ложь)\n"
    "  date:2024-01-31  date:2024-01-31T10:30:00   date (DATE)\n"
    "  TYPE:VALUE      an explicit type: s (text), i1 i2 i4 i8 ui1 ui2 ui4 ui8 int uint\n"
    "                  r4 r8 bool date pstr blob; e.g. ui1:0  ui4:115200  s:482915\n"
    "  _               the parameter's declared default (missing trailing arguments\n"
    "                  get their defaults too)\n"
    "  empty  null     an EMPTY or NULL variant\n"
    "  >name           pass EMPTY and keep what the call leaves there as $name\n"
    "  $name           a kept value (or one given with --var name=text)\n";

namespace {

bool unquote(const std::string& word, std::string& out, std::string& error) {
  if (word.size() < 2 || word.front() != '"' || word.back() != '"') {
    error = "unterminated text " + word;
    return false;
  }
  out.clear();
  for (size_t i = 1; i + 1 < word.size(); ++i) {
    char c = word[i];
    if (c == '"') {
      error = "a quote inside a text must be written \\\": " + word;
      return false;
    }
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i + 2 >= word.size()) {
      error = "a text ends with a lone backslash: " + word;
      return false;
    }
    char e = word[++i];
    switch (e) {
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'r': out.push_back('\r'); break;
      case '"': out.push_back('"'); break;
      case '\\': out.push_back('\\'); break;
      default:
        error = std::string("unknown escape \\") + e + " in " + word;
        return false;
    }
  }
  return true;
}

bool wholeNumber(const std::string& s, long long& out) {
  if (s.empty()) return false;
  size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t j = i; j < s.size(); ++j)
    if (s[j] < '0' || s[j] > '9') return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtoll(s.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

bool unsignedNumber(const std::string& s, unsigned long long& out) {
  if (s.empty() || s[0] == '-' || s[0] == '+') return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtoull(s.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

// Digits with one '.', optional sign and exponent; never a bare integer.
bool realNumber(const std::string& s, double& out) {
  if (s.empty() || s.find('.') == std::string::npos) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
  errno = 0;
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return errno == 0 && end != s.c_str() && *end == '\0' && std::isfinite(out);
}

bool boolean(const std::string& s, bool& out) {
  if (s == "true" || s == "True" || s == "TRUE" || s == "Истина" || s == "истина") return out = true, true;
  if (s == "false" || s == "False" || s == "FALSE" || s == "Ложь" || s == "ложь") return out = false, true;
  return false;
}

bool validName(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// A value of a signed or unsigned integer TYPE. Sets `known` when TYPE is
// one; returns what the text is not, or nullptr when it was taken.
const char* integerValue(const std::string& type, const std::string& text, Value& out, bool& known) {
  long long i = 0;
  unsigned long long u = 0;
  auto inRange = [&](long long lo, long long hi) { return wholeNumber(text, i) && i >= lo && i <= hi; };
  auto uRange = [&](unsigned long long hi) { return unsignedNumber(text, u) && u <= hi; };
  known = true;
  if (type == "i1") {
    if (!inRange(-128, 127)) return "not an I1 (-128..127)";
    out = Value::i1(static_cast<int8_t>(i));
  } else if (type == "i2") {
    if (!inRange(-32768, 32767)) return "not an I2 (-32768..32767)";
    out = Value::i2(static_cast<int16_t>(i));
  } else if (type == "i4" || type == "int") {
    if (!inRange(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())) return "not a 32-bit integer";
    out = type == "int" ? Value::int_(static_cast<int32_t>(i)) : Value::i4(static_cast<int32_t>(i));
  } else if (type == "i8") {
    if (!wholeNumber(text, i)) return "not a 64-bit integer";
    out = Value::i8(i);
  } else if (type == "ui1") {
    if (!uRange(255)) return "not a UI1 (0..255)";
    out = Value::ui1(static_cast<uint8_t>(u));
  } else if (type == "ui2") {
    if (!uRange(65535)) return "not a UI2 (0..65535)";
    out = Value::ui2(static_cast<uint16_t>(u));
  } else if (type == "ui4" || type == "uint") {
    if (!uRange(std::numeric_limits<uint32_t>::max())) return "not an unsigned 32-bit integer";
    out = type == "uint" ? Value::uint_(static_cast<uint32_t>(u)) : Value::ui4(static_cast<uint32_t>(u));
  } else if (type == "ui8") {
    if (!unsignedNumber(text, u)) return "not an unsigned 64-bit integer";
    out = Value::ui8(u);
  } else {
    known = false;
  }
  return nullptr;
}

// A value of any other TYPE (texts, reals, bool, date), as integerValue.
const char* otherValue(const std::string& type, const std::string& text, Value& out, bool& known) {
  long long i = 0;
  double r = 0;
  bool b = false;
  known = true;
  if (type == "s" || type == "str" || type == "text") {
    out = Value::text_(abihost::fromUtf8(text));
  } else if (type == "pstr") {
    out = Value::pstr(text);
  } else if (type == "blob") {
    out = Value::blob(text);
  } else if (type == "r4" || type == "r8") {
    if (wholeNumber(text, i))
      r = static_cast<double>(i);
    else if (!realNumber(text, r))
      return "not a number";
    out = type == "r4" ? Value::r4(static_cast<float>(r)) : Value::r8(r);
  } else if (type == "bool") {
    if (!boolean(text, b)) return "not true or false";
    out = Value::boolean_(b);
  } else if (type == "date") {
    if (!parseDate(text, r)) return "not a date YYYY-MM-DD[THH:MM:SS]";
    out = Value::date(r);
  } else {
    known = false;
  }
  return nullptr;
}

// "TYPE:VALUE" with a known TYPE; false with an empty error when the word
// has no such prefix.
bool typed(const std::string& word, Value& out, std::string& error) {
  size_t colon = word.find(':');
  if (colon == std::string::npos || colon == 0 || word[0] == '"') return false;
  std::string type = word.substr(0, colon);
  std::string raw = word.substr(colon + 1);
  std::string text = raw;
  if (!raw.empty() && raw[0] == '"' && !unquote(raw, text, error)) return false;

  bool known = false;
  const char* wrong = integerValue(type, text, out, known);
  if (!known) wrong = otherValue(type, text, out, known);
  if (!known) return false;  // not a type prefix: the word is something else
  if (wrong) {
    error = "'" + word + "': " + wrong;
    return false;
  }
  return true;
}

long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// Days from 1970-01-01 to the OLE epoch 1899-12-30.
constexpr long long kOleEpoch = -25569;

}  // namespace

bool parseDate(const std::string& text, double& days) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail);
  bool dateOnly = n == 3 && text.size() == 10;
  if (!(dateOnly || n == 6)) return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) return false;
  long long day = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
  long long y2 = 0;
  unsigned m2 = 0, d2 = 0;
  civilFromDays(day, y2, m2, d2);
  if (m2 != static_cast<unsigned>(mo)) return false;  // 31 February and the like
  days = static_cast<double>(day - kOleEpoch) + (h * 3600 + mi * 60 + s) / 86400.0;
  return true;
}

std::string formatDate(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3e6) return "date:?";
  long long whole = static_cast<long long>(std::floor(days));
  long long seconds = std::llround((days - static_cast<double>(whole)) * 86400.0);
  if (seconds >= 86400) ++whole, seconds -= 86400;
  long long y = 0;
  unsigned m = 0, d = 0;
  civilFromDays(whole + kOleEpoch, y, m, d);
  char buf[64];
  if (seconds == 0)
    std::snprintf(buf, sizeof buf, "date:%04lld-%02u-%02u", y, m, d);
  else
    std::snprintf(buf, sizeof buf, "date:%04lld-%02u-%02uT%02lld:%02lld:%02lld", y, m, d, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
  return buf;
}

bool parseArg(const std::string& word, Arg& out, std::string& error) {
  out = Arg{};
  error.clear();
  if (word.empty()) {
    error = "an empty argument (write \"\" for an empty text)";
    return false;
  }
  if (word == "_") {
    out.kind = Arg::Default;
    return true;
  }
  if (word[0] == '>' || word[0] == '$') {
    out.kind = word[0] == '>' ? Arg::Capture : Arg::Variable;
    out.name = word.substr(1);
    if (!validName(out.name)) {
      error = "bad variable name in " + word + " (letters, digits, _)";
      return false;
    }
    return true;
  }
  if (word[0] == '"') {
    std::string text;
    if (!unquote(word, text, error)) return false;
    out.value = Value::text_(abihost::fromUtf8(text));
    return true;
  }
  if (word == "empty") return out.value = Value::empty(), true;
  if (word == "null") return out.value = Value::null(), true;
  bool b = false;
  if (boolean(word, b)) return out.value = Value::boolean_(b), true;
  long long i = 0;
  if (wholeNumber(word, i)) {
    if (i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max())
      out.value = Value::i4(static_cast<int32_t>(i));
    else
      out.value = Value::i8(i);
    return true;
  }
  double r = 0;
  if (realNumber(word, r)) return out.value = Value::r8(r), true;
  if (typed(word, out.value, error)) return true;
  if (!error.empty()) return false;
  if (word.find('"') != std::string::npos) {
    error = "a quote inside a word: " + word + " (quote the whole text)";
    return false;
  }
  out.value = Value::text_(abihost::fromUtf8(word));
  return true;
}

bool splitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  std::string word;
  bool inWord = false, inQuote = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (inQuote) {
      word.push_back(c);
      if (c == '\\' && i + 1 < line.size()) {
        word.push_back(line[++i]);
      } else if (c == '"') {
        inQuote = false;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (inWord) words.push_back(word), word.clear(), inWord = false;
      continue;
    }
    if (c == '#' && !inWord) break;
    inWord = true;
    word.push_back(c);
    if (c == '"') inQuote = true;
  }
  if (inQuote) {
    error = "unterminated text " + word;
    return false;
  }
  if (inWord) words.push_back(word);
  return true;
}

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out + "\"";
}

std::string formatValue(const Value& v) {
  char buf[64];
  switch (v.type) {
    case L::VT_EMPTY: return "empty";
    case L::VT_NULL: return "null";
    case L::VT_PWSTR: return quote(abihost::toUtf8(v.text));
    case L::VT_PSTR: return "pstr:" + quote(v.bytes);
    case L::VT_BLOB: return "blob:" + quote(v.bytes);
    case L::VT_BOOL: return v.boolean ? "true" : "false";
    case L::VT_I4: return std::to_string(v.integer);
    case L::VT_I1: return "i1:" + std::to_string(v.integer);
    case L::VT_I2: return "i2:" + std::to_string(v.integer);
    case L::VT_I8: return "i8:" + std::to_string(v.integer);
    case L::VT_INT: return "int:" + std::to_string(v.integer);
    case L::VT_UI1: return "ui1:" + std::to_string(v.integer);
    case L::VT_UI2: return "ui2:" + std::to_string(v.integer);
    case L::VT_UI4: return "ui4:" + std::to_string(v.integer);
    case L::VT_UINT: return "uint:" + std::to_string(v.integer);
    case L::VT_UI8: return "ui8:" + std::to_string(v.unsigned64);
    case L::VT_R8:
    case L::VT_R4: {
      std::snprintf(buf, sizeof buf, "%.15g", v.real);
      std::string s = buf;
      if (s.find_first_of(".en") == std::string::npos) s += ".0";
      return v.type == L::VT_R4 ? "r4:" + s : s;
    }
    case L::VT_DATE: return formatDate(v.real);
    case L::VT_ERROR: return "error:" + std::to_string(v.integer);
    default:
      std::snprintf(buf, sizeof buf, "<type %u>", static_cast<unsigned>(v.type));
      return buf;
  }
}

}  // namespace addinhost
