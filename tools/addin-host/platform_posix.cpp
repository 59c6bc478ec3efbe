#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "abihost/text.h"
#include "platform.h"

namespace addinhost {

namespace L = abihost::layout;

const char kLibraryName[] = "libAddInNativeOstrel.so";

std::string programDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  std::string path = buf;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string portDevice(const abihost::Value& v) {
  if (v.type == L::VT_PWSTR) {
    std::string s = abihost::toUtf8(v.text);
    if (s.size() > 3 && s.compare(0, 3, "COM") == 0) {
      int n = std::atoi(s.c_str() + 3);
      return n >= 1 ? "/dev/ttyS" + std::to_string(n - 1) : std::string();
    }
    bool digits = !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    if (digits) return "/dev/ttyS" + s;
    return s;
  }
  if (v.type == L::VT_R8 || v.type == L::VT_R4) return "/dev/ttyS" + std::to_string(static_cast<long>(v.real));
  if (v.type == L::VT_EMPTY || v.type == L::VT_NULL || v.type == L::VT_BOOL) return {};
  return "/dev/ttyS" + std::to_string(v.integer);
}

bool isPseudoTerminal(const std::string& device) {
  char resolved[PATH_MAX];
  if (!realpath(device.c_str(), resolved)) return false;
  return std::string(resolved).rfind("/dev/pts/", 0) == 0;
}

bool stdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

}  // namespace addinhost
