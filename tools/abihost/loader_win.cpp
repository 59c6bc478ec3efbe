#include <windows.h>

#include "abihost/loader.h"

namespace abihost {
namespace loader {

void* open(const std::string& path, std::string& error) {
  // LoadLibrary wants backslashes in a path.
  std::string native = path;
  for (char& c : native)
    if (c == '/') c = '\\';
  HMODULE h = LoadLibraryA(native.c_str());
  if (!h) error = "LoadLibrary failed with code " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(h);
}

void* find(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void close(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

}  // namespace loader
}  // namespace abihost
