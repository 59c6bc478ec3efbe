// The settings form as each system's build compiles it: the Windows text and
// the Linux text differ in the Port list alone. (The Linux text is checked
// whole through the binary interface, tests/abi.)
#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace windows_build {
#define _WIN32 1
#include "driver/settings_xml.cpp"
#undef _WIN32
}  // namespace windows_build

namespace linux_build {
#include "driver/settings_xml.cpp"
}  // namespace linux_build

namespace {

std::u16string items(const char16_t* prefix, int firstValue, int firstNumber, int count) {
  std::u16string out;
  for (int i = 0; i < count; ++i) {
    std::string value = std::to_string(firstValue + i), number = std::to_string(firstNumber + i);
    out += u"<Item Value=\"" + std::u16string(value.begin(), value.end()) + u"\">" + prefix +
           std::u16string(number.begin(), number.end()) + u"</Item>";
  }
  return out;
}

TEST(SettingsForm, WindowsKeepsComPortsLinuxNamesItsDevices) {
  std::u16string windows(windows_build::ostrel::driver::kSettingsXml);
  std::u16string posix(linux_build::ostrel::driver::kSettingsXml);
  std::u16string com = items(u"COM", 0, 1, 9);
  std::u16string devices = items(u"/dev/ttyS", 0, 0, 9) + items(u"/dev/ttyUSB", 9, 0, 4) + items(u"/dev/ttyACM", 13, 0, 4);
  size_t at = posix.find(devices);
  ASSERT_NE(at, std::u16string::npos);
  EXPECT_EQ(windows, posix.substr(0, at) + com + posix.substr(at + devices.size()));
  EXPECT_EQ(windows.find(u"/dev/"), std::u16string::npos);
}

}  // namespace
