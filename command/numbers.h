// Number texts written and read the same way whatever C locale the host has
// set (SetLocale changes the whole process's locale).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

std::string DecimalText(int64_t value);
// Plain decimal with ".", never an exponent: the shortest such text that
// reads back as the same value (100000.0 "100000", 0.0001 "0.0001", 2.5
// "2.5"). Empty for values that are not finite.
std::string ShortestText(double value);
std::string ShortestText(float value);
// Two decimals and a point ("100.00"); empty for values that are not finite.
std::string MoneyText(double value);

// The whole text as a decimal integer (optional sign, digits, nothing else).
std::optional<int64_t> ParseWholeInteger(std::u16string_view text);
// Leading blanks, optional sign, digits up to the first other character; 0
// when there are none. Saturates at the int32 range.
int32_t ParseLeadingInteger(std::string_view text);
// Leading blanks, then the longest prefix that is a decimal number with "."
// and an optional exponent; 0 when there is none.
double ParseLeadingDecimal(std::string_view text);

}  // namespace ostrel
