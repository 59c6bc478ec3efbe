#include "relay_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <vector>

#include "imports_win.h"

namespace addinhost {
namespace {

// Silence after which an unfinished frame is shown as it is.
constexpr int kFlushAfterMs = 500;

// The relay the wrappers report to; null when none records.
std::atomic<Relay*> watcher{nullptr};

// The system's functions, as the component's import table held them.
decltype(&CreateFileA) realCreateFileA = nullptr;
decltype(&WriteFile) realWriteFile = nullptr;
decltype(&ReadFile) realReadFile = nullptr;
decltype(&CloseHandle) realCloseHandle = nullptr;

HANDLE WINAPI traceCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                               DWORD flags, HANDLE templ) {
  HANDLE h = realCreateFileA(name, access, share, security, creation, flags, templ);
  DWORD error = GetLastError();
  if (Relay* r = watcher.load(); r && h != INVALID_HANDLE_VALUE && name) r->opened(name, h);
  SetLastError(error);
  return h;
}

BOOL WINAPI traceWriteFile(HANDLE h, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  DWORD done = 0;
  BOOL ok = realWriteFile(h, bytes, size, written ? written : &done, overlapped);
  DWORD error = GetLastError();
  DWORD count = written ? *written : done;
  if (Relay* r = watcher.load(); r && ok && !overlapped && count > 0) r->moved(h, bytes, count, true);
  SetLastError(error);
  return ok;
}

BOOL WINAPI traceReadFile(HANDLE h, LPVOID bytes, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
  DWORD done = 0;
  BOOL ok = realReadFile(h, bytes, size, read ? read : &done, overlapped);
  DWORD error = GetLastError();
  DWORD count = read ? *read : done;
  if (Relay* r = watcher.load(); r && ok && !overlapped && count > 0) r->moved(h, bytes, count, false);
  SetLastError(error);
  return ok;
}

BOOL WINAPI traceCloseHandle(HANDLE h) {
  if (Relay* r = watcher.load()) r->closed(h);
  return realCloseHandle(h);
}

ImportPatch patches[] = {
    {"CreateFileA", reinterpret_cast<void*>(&traceCreateFileA), reinterpret_cast<void**>(&realCreateFileA)},
    {"WriteFile", reinterpret_cast<void*>(&traceWriteFile), reinterpret_cast<void**>(&realWriteFile)},
    {"ReadFile", reinterpret_cast<void*>(&traceReadFile), reinterpret_cast<void**>(&realReadFile)},
    {"CloseHandle", reinterpret_cast<void*>(&traceCloseHandle), reinterpret_cast<void**>(&realCloseHandle)},
};
constexpr std::size_t kPatches = sizeof patches / sizeof patches[0];

// A loaded component: a module other than this program that exports the
// three entry points the platform looks for.
bool isComponent(HMODULE m) {
  return m != GetModuleHandleA(nullptr) && GetProcAddress(m, "GetClassNames") && GetProcAddress(m, "GetClassObject") &&
         GetProcAddress(m, "DestroyObject");
}

// Patches every loaded component's imports from KERNEL32; the number of
// components whose four imports all point at the wrappers.
int patchComponents() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  int done = 0;
  MODULEENTRY32 m{};
  m.dwSize = sizeof m;
  for (BOOL more = Module32First(snap, &m); more; more = Module32Next(snap, &m))
    if (isComponent(m.hModule) && patchImports(m.hModule, "KERNEL32.dll", patches, kPatches) == static_cast<int>(kPatches))
      ++done;
  CloseHandle(snap);
  return done;
}

bool sameName(const std::string& a, const char* b) { return _stricmp(a.c_str(), b) == 0; }

}  // namespace

bool Relay::start(const std::string& device, std::string& error) {
  stop();
  // The component is loaded before the first trace starts and stays loaded,
  // so its table is rewritten once; later starts only change the device.
  static const int patched = patchComponents();
  if (patched == 0) {
    error = "cannot route the component's port calls: no loaded component whose imports of CreateFileA, WriteFile, "
            "ReadFile and CloseHandle could be rewritten";
    return false;
  }
  device_ = device;
  const std::string prefix = "\\\\.\\";
  setting_ = device.compare(0, prefix.size(), prefix) == 0 ? device.substr(prefix.size()) : device;
  begin_ = lastToPrinter_ = lastToHost_ = std::chrono::steady_clock::now();
  running_ = true;
  watcher = this;
  std::fprintf(out_, "trace: watching the component's own calls to %s (%s)\n", setting_.c_str(), device_.c_str());
  std::fflush(out_);
  return true;
}

void Relay::stop() {
  if (!running_) return;
  watcher = nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<WireEvent> events;
  toPrinter_.flush(events);
  print(events, "PC>FP");
  toHost_.flush(events);
  print(events, "FP>PC");
  handles_.clear();
  running_ = false;
}

void Relay::opened(const char* name, void* handle) {
  if (!sameName(device_, name)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  handles_.insert(handle);
}

void Relay::print(std::vector<WireEvent>& events, const char* direction) {
  if (events.empty()) return;
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin_).count();
  for (const auto& e : events) std::fputs(describe(e, direction, ms).c_str(), out_);
  std::fflush(out_);
  events.clear();
}

void Relay::flushIdle(WireReader& reader, std::chrono::steady_clock::time_point last, const char* direction) {
  auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - last).count();
  if (!reader.pending() || idle <= kFlushAfterMs) return;
  std::vector<WireEvent> events;
  reader.flush(events);
  print(events, direction);
}

void Relay::moved(void* handle, const void* bytes, std::uint32_t count, bool toPrinter) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!handles_.count(handle)) return;
  WireReader& reader = toPrinter ? toPrinter_ : toHost_;
  auto& last = toPrinter ? lastToPrinter_ : lastToHost_;
  const char* direction = toPrinter ? "PC>FP" : "FP>PC";
  flushIdle(reader, last, direction);
  std::vector<WireEvent> events;
  reader.feed(static_cast<const uint8_t*>(bytes), count, events);
  print(events, direction);
  last = std::chrono::steady_clock::now();
}

void Relay::closed(void* handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handles_.erase(handle) == 0) return;
  std::vector<WireEvent> events;
  toPrinter_.flush(events);
  print(events, "PC>FP");
  toHost_.flush(events);
  print(events, "FP>PC");
}

}  // namespace addinhost
