// Which device a port number or the driver's Port setting names. Pure, so
// every build (including the fuzzers' fake port) shares one definition.
#include <climits>

#include "device/serial_port.h"

namespace ostrel {
namespace {

// n of "COMn" (digits only, 1 or more), or -1.
long long comNumber(const std::string& setting) {
  if (setting.size() <= 3 || setting.compare(0, 3, "COM") != 0) return -1;
  long long n = 0;  // long is no wider than int on 32-bit targets
  for (size_t i = 3; i < setting.size(); ++i) {
    const char c = setting[i];
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
    if (n > INT_MAX) return -1;
  }
  return n;
}

}  // namespace

#if defined(_WIN32)

std::string serialDeviceForNumber(int n) {
  if (n < 1) return std::string();
  return "\\\\.\\COM" + std::to_string(n);
}

// The form offers COM1 to COM9 as 0 to 8; a larger index names COM(n+1).
std::string serialDeviceForFormIndex(int index) {
  if (index < 0 || index > 254) return std::string();
  return serialDeviceForNumber(index + 1);
}

std::string serialDeviceForSetting(const std::string& setting) {
  if (setting.empty()) return std::string();
  long long n = comNumber(setting);
  if (n >= 0) return serialDeviceForNumber(static_cast<int>(n));
  return "\\\\.\\" + setting;
}

#else

// COMn is /dev/ttyS{n-1}, the numbering Linux and Wine share.
std::string serialDeviceForNumber(int n) {
  if (n < 1) return std::string();
  return "/dev/ttyS" + std::to_string(n - 1);
}

// The form offers /dev/ttyS0 to /dev/ttyS8 as 0 to 8 (the ports COM1 to COM9
// name), then the USB adapters: /dev/ttyUSB0 to /dev/ttyUSB3 as 9 to 12 and
// /dev/ttyACM0 to /dev/ttyACM3 as 13 to 16.
std::string serialDeviceForFormIndex(int index) {
  if (index >= 0 && index <= 8) return serialDeviceForNumber(index + 1);
  if (index >= 9 && index <= 12) return "/dev/ttyUSB" + std::to_string(index - 9);
  if (index >= 13 && index <= 16) return "/dev/ttyACM" + std::to_string(index - 13);
  return std::string();
}

std::string serialDeviceForSetting(const std::string& setting) {
  if (!setting.empty() && setting[0] == '/') return setting;
  long long n = comNumber(setting);
  return n >= 0 ? serialDeviceForNumber(static_cast<int>(n)) : std::string();
}

#endif

}  // namespace ostrel
