#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <io.h>

#include "abihost/text.h"
#include "device/serial_port.h"
#include "platform.h"

namespace addinhost {

namespace L = abihost::layout;

const char kLibraryName[] = "AddInNativeOstrel.dll";

std::string programDir() {
  char buf[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ".";
  std::string path(buf, n);
  for (char& c : path)
    if (c == '\\') c = '/';
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// A device name (\\.\COM5) is looked up among the system's devices, a path
// among the files.
bool exists(const std::string& path) {
  const std::string devicePrefix = "\\\\.\\";
  if (path.compare(0, devicePrefix.size(), devicePrefix) == 0) {
    char target[512];
    return QueryDosDeviceA(path.c_str() + devicePrefix.size(), target, sizeof target) != 0;
  }
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The component's own naming: "COMn" is \\.\COMn, another text \\.\text, and
// a form index n (a number, or a text of digits) is COM(n+1).
std::string portDevice(const abihost::Value& v) {
  if (v.type == L::VT_PWSTR) {
    std::string s = abihost::toUtf8(v.text);
    bool digits = !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
    if (digits) return ostrel::serialDeviceForNumber(std::atoi(s.c_str()) + 1);
    return ostrel::serialDeviceForSetting(s);
  }
  if (v.type == L::VT_R8 || v.type == L::VT_R4) return ostrel::serialDeviceForNumber(static_cast<int>(v.real) + 1);
  if (v.type == L::VT_EMPTY || v.type == L::VT_NULL || v.type == L::VT_BOOL) return {};
  return ostrel::serialDeviceForNumber(static_cast<int>(v.integer) + 1);
}

// Windows has no pseudo-terminal ports: every COM port may be a printer.
bool isPseudoTerminal(const std::string&) { return false; }

bool stdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

}  // namespace addinhost
