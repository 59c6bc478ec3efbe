// UTF-8 <-> UTF-16 conversion for printing and for writing test data in
// source files. Invalid input becomes U+FFFD; nothing throws.
#pragma once

#include <string>
#include <string_view>

namespace abihost {

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

}  // namespace abihost
