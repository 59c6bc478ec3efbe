// The byte trace of addin-host on Windows. The component opens the real port
// itself; its own calls to CreateFileA, WriteFile, ReadFile and CloseHandle
// are routed through wrappers of addin-host's (its import address table is
// rewritten in the loaded image, the file on disk is untouched), which pass
// each call on to the system and record the bytes of the port's handle.
// Both directions are decoded and printed as the call that moves them runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "frames.h"

namespace addinhost {

class Relay {
 public:
  explicit Relay(std::FILE* out) : out_(out) {}
  ~Relay() { stop(); }
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  // Routes the component's port calls through the wrappers (once per
  // process) and records the traffic of `device` (\\.\COMn) from now on.
  // False with a message when no loaded component can be found or patched.
  bool start(const std::string& device, std::string& error);
  // Prints what is left of an unfinished frame and stops recording.
  void stop();
  // The Port setting that makes the component open `device` itself.
  const std::string& ptyPath() const { return setting_; }
  const std::string& device() const { return device_; }
  bool running() const { return running_; }

  // Called by the wrappers, after the system's call.
  void opened(const char* name, void* handle);
  void moved(void* handle, const void* bytes, std::uint32_t count, bool toPrinter);
  void closed(void* handle);

 private:
  void print(std::vector<WireEvent>& events, const char* direction);
  void flushIdle(WireReader& reader, std::chrono::steady_clock::time_point last, const char* direction);

  std::FILE* out_;
  std::string device_, setting_;
  bool running_ = false;
  std::mutex mutex_;
  std::set<void*> handles_;
  std::chrono::steady_clock::time_point begin_, lastToPrinter_, lastToHost_;
  WireReader toPrinter_, toHost_;
};

}  // namespace addinhost
