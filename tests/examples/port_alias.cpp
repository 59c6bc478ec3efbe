// A test fixture preloaded into addin-host: an open() of the device named on
// the left of OSTREL_PORT_ALIAS ("/dev/ttyS2=/dev/pts/7") opens the path on
// its right instead. The examples open their port by number, as on a
// cashier's machine (3 is /dev/ttyS2); this lets that number reach the
// printer simulator's pseudo-terminal without touching /dev. Every other
// open goes through unchanged.
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <fcntl.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

using OpenFn = int (*)(const char*, int, ...);

// The path to open: the alias's target when `path` is its source. The source
// is compared in place, so nothing is copied.
const char* aliased(const char* path) {
  const char* alias = std::getenv("OSTREL_PORT_ALIAS");
  const char* eq = alias ? std::strchr(alias, '=') : nullptr;
  if (!path || !eq) return path;
  const size_t n = static_cast<size_t>(eq - alias);
  return std::strlen(path) == n && std::strncmp(path, alias, n) == 0 ? eq + 1 : path;
}

int forward(const char* name, const char* path, int flags, va_list ap) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) mode = va_arg(ap, mode_t);
  auto real = reinterpret_cast<OpenFn>(dlsym(RTLD_NEXT, name));
  return real ? real(aliased(path), flags, mode) : -1;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const int fd = forward("open", path, flags, ap);
  va_end(ap);
  return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list ap;
  va_start(ap, flags);
  const int fd = forward("open64", path, flags, ap);
  va_end(ap);
  return fd;
}
