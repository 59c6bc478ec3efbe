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

std::string serialDeviceForSetting(const std::string& setting) {
  if (!setting.empty() && setting[0] == '/') return setting;
  long long n = comNumber(setting);
  return n >= 0 ? serialDeviceForNumber(static_cast<int>(n)) : std::string();
}

#endif

}  // namespace ostrel
