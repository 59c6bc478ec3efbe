#include "command/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ostrel {

std::string DecimalText(int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

namespace {

template <typename Real>
std::string shortestFixed(Real value) {
  if (!std::isfinite(value)) return {};
  // Fixed notation of the largest double has 309 digits before the point.
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (res.ec != std::errc()) return {};
  return std::string(buf, res.ptr);
}

}  // namespace

std::string ShortestText(double value) { return shortestFixed(value); }
std::string ShortestText(float value) { return shortestFixed(value); }

std::string MoneyText(double value) {
  if (!std::isfinite(value)) return {};
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
  if (res.ec != std::errc()) return {};
  std::string text(buf, res.ptr);
  if (text == "-0.00") text = "0.00";
  return text;
}

std::optional<int64_t> ParseWholeInteger(std::u16string_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(c));
  }
  const char* first = ascii.data();
  const char* last = first + ascii.size();
  if (*first == '+') ++first;
  int64_t value = 0;
  auto res = std::from_chars(first, last, value);
  if (res.ec != std::errc() || res.ptr != last || first == last) return std::nullopt;
  return value;
}

int32_t ParseLeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = value * 10 + (text[i++] - '0');
    if (value > int64_t{1} << 32) value = int64_t{1} << 32;  // saturate, never overflow
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

double ParseLeadingDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0.0;
  size_t end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++expDigits;
    if (expDigits > 0) end = j;
  }
  std::string number(text.substr(start, end - start));
  const char* first = number.c_str();
  bool negative = false;
  if (*first == '+' || *first == '-') negative = *first++ == '-';
  double value = 0.0;
  auto res = std::from_chars(first, number.c_str() + number.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    value = std::numeric_limits<double>::infinity();
  } else if (res.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

}  // namespace ostrel
