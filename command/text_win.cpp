#include <windows.h>

#include "command/text.h"

namespace ostrel {

std::string AnsiFromWide(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  int size = static_cast<int>(text.size());
  int need = WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr);
  if (need <= 0) return std::string(text.size(), '?');
  std::string out(static_cast<size_t>(need), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, size, out.data(), need, nullptr, nullptr);
  return out;
}

std::u16string WideFromAnsi(std::string_view bytes) {
  if (bytes.empty()) return {};
  int size = static_cast<int>(bytes.size());
  int need = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  if (need <= 0) return std::u16string(bytes.size(), u'?');
  std::u16string out(static_cast<size_t>(need), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data()), need);
  return out;
}

}  // namespace ostrel
