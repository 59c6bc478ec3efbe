#include <dlfcn.h>

#include "abihost/loader.h"

namespace abihost {
namespace loader {

void* open(const std::string& path, std::string& error) {
  // Kept mapped after dlclose, as a host process keeps a component loaded:
  // the component carries its own C++ runtime, whose start-up allocations
  // would otherwise be reported as leaked once its code is unmapped.
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!h) {
    const char* e = dlerror();
    error = e ? e : "dlopen failed";
  }
  return h;
}

void* find(void* handle, const char* name) { return dlsym(handle, name); }

void close(void* handle) { dlclose(handle); }

}  // namespace loader
}  // namespace abihost
