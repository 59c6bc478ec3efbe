// Conversion between the host's 16-bit texts and the printer's byte texts.
// On Windows the system ANSI code page is used; POSIX has no such setting, so
// there the printer's own code page, Windows-1251, is used from a table.
// One byte per character either way; a character the code page lacks becomes
// "?" (a surrogate pair is one character).
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

std::string AnsiFromWide(std::u16string_view text);
std::u16string WideFromAnsi(std::string_view bytes);

}  // namespace ostrel
