// The printer model's reading and writing of field texts: integers, amounts,
// dates, and the refusal codes that name a field. Internal to the model.
#pragma once

#include <cstdint>
#include <string>

#include "sim/printer.h"

namespace datecs_sim {

constexpr int64_t kMaxAmount = 999999999999;  // 9 999 999 999.99

// A refusal: the code with no fields.
Outcome fail(const std::string& code);
// "ii03": the request ends before field ii.
std::string missingField(size_t index);
// "ii04", the printer's "the value of field ii is wrong": a field the printer
// cannot take as it stands (a fixed field of the wrong shape among others).
std::string wrongValue(size_t index);

// Digits only, at most nine of them.
bool parseUnsigned(const std::string& text, uint32_t& out);
// An optional '-' followed by what parseUnsigned takes.
bool parseInt(const std::string& text, int& out);

// Rounds a * m / b half away from zero (0 < b < 2^62). A product past 64 bits
// gives INT64_MAX or INT64_MIN, beyond any amount the printer accepts.
int64_t roundMulDiv(int64_t a, int64_t m, int64_t b);

// Today's date as DDMMYY and the time as HHMM, local time.
std::string today();
std::string nowHHMM();
// DDMMYY to YYMMDD, so dates compare as text; empty when not a valid date.
std::string sortableDate(const std::string& d);

}  // namespace datecs_sim
