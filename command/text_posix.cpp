#include <array>
#include <cstdint>

#include "command/text.h"

namespace ostrel {
namespace {

// Characters of bytes 0x80..0xBF in Windows-1251; 0xC0..0xFF are U+0410..U+044F.
// 0x98 is unassigned and round-trips as U+0098.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

char16_t charOfByte(uint8_t b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return static_cast<char16_t>(0x0410 + (b - 0xC0));
  return kHigh[b - 0x80];
}

char byteOfChar(char16_t c) {
  if (c < 0x80) return static_cast<char>(c);
  if (c >= 0x0410 && c <= 0x044F) return static_cast<char>(0xC0 + (c - 0x0410));
  for (size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string AnsiFromWide(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a pair stands for one character outside the code page
      out.push_back('?');
      continue;
    }
    out.push_back(byteOfChar(c));
  }
  return out;
}

std::u16string WideFromAnsi(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char b : bytes) out.push_back(charOfByte(static_cast<uint8_t>(b)));
  return out;
}

}  // namespace ostrel
