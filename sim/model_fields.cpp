#include "sim/model_fields.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace datecs_sim {

Outcome fail(const std::string& code) {
  Outcome o;
  o.code = code;
  return o;
}

std::string missingField(size_t index) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02X03", static_cast<unsigned>(index & 0xFF));
  return buf;
}

std::string wrongValue(size_t index) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02X04", static_cast<unsigned>(index & 0xFF));
  return buf;
}

bool parseUnsigned(const std::string& text, uint32_t& out) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t v = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  out = v;
  return true;
}

bool parseInt(const std::string& text, int& out) {
  if (text.empty()) return false;
  bool neg = text[0] == '-';
  uint32_t v = 0;
  if (!parseUnsigned(neg ? text.substr(1) : text, v)) return false;
  out = neg ? -static_cast<int>(v) : static_cast<int>(v);
  return true;
}

int64_t roundMulDiv(int64_t a, int64_t m, int64_t b) {
  int64_t p = 0;
  if (__builtin_mul_overflow(a, m, &p)) return (a < 0) != (m < 0) ? INT64_MIN : INT64_MAX;
  int64_t q = p / b, r = p % b;
  if (2 * (r < 0 ? -r : r) >= b) q += (p < 0) ? -1 : 1;
  return q;
}

std::string today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100);
  return buf;
}

std::string nowHHMM() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d", tm.tm_hour, tm.tm_min);
  return buf;
}

std::string sortableDate(const std::string& d) {
  if (d.size() != 6) return {};
  for (char c : d)
    if (!std::isdigit(static_cast<unsigned char>(c))) return {};
  int day = std::stoi(d.substr(0, 2)), month = std::stoi(d.substr(2, 2));
  if (day < 1 || day > 31 || month < 1 || month > 12) return {};
  return d.substr(4, 2) + d.substr(2, 2) + d.substr(0, 2);
}

bool parseFixed(const std::string& text, int decimals, int64_t& out) {
  size_t i = 0;
  bool neg = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
  int64_t whole = 0;
  int intDigits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    if (++intDigits > 12) return false;
    whole = whole * 10 + (text[i++] - '0');
  }
  int64_t frac = 0;
  int fracDigits = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      if (++fracDigits > decimals) return false;
      frac = frac * 10 + (text[i++] - '0');
    }
  }
  if (i != text.size() || intDigits + fracDigits == 0) return false;
  for (int k = fracDigits; k < decimals; ++k) frac *= 10;
  int64_t scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  out = whole * scale + frac;
  if (neg) out = -out;
  return true;
}

std::string formatFixed(int64_t value, int decimals) {
  int64_t scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  uint64_t mag = value < 0 ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  std::string s = std::to_string(mag / scale);
  if (decimals > 0) {
    std::string frac = std::to_string(mag % scale);
    s += "." + std::string(decimals - frac.size(), '0') + frac;
  }
  return value < 0 ? "-" + s : s;
}

}  // namespace datecs_sim
