// The byte trace of addin-host: a pty pair stands in for the printer's port.
// The component is pointed at the pty; every byte it writes is passed on to
// the real port (or the simulator's pty) and every byte that comes back is
// passed to the component, and both streams are decoded and printed.
#pragma once

#if defined(_WIN32)
// On Windows the component's own port calls are watched instead.
#include "relay_win.h"
#else

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "frames.h"

namespace addinhost {

class Relay {
 public:
  explicit Relay(std::FILE* out) : out_(out) {}
  ~Relay() { stop(); }
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;

  // Opens `device` as a raw serial line and a fresh pty pair, and starts
  // relaying. False with a message when either cannot be opened.
  bool start(const std::string& device, std::string& error);
  // Lets the bytes in flight arrive, prints what is left and stops.
  void stop();
  const std::string& ptyPath() const { return slavePath_; }
  const std::string& device() const { return device_; }
  bool running() const { return thread_.joinable(); }

 private:
  void run();
  void pass(int from, int to, WireReader& reader, const char* direction);
  void print(std::vector<WireEvent>& events, const char* direction);
  void followSpeed();

  std::FILE* out_;
  std::string device_, slavePath_;
  int deviceFd_ = -1, master_ = -1, slaveHold_ = -1;
  int wake_[2] = {-1, -1};
  unsigned currentSpeed_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::chrono::steady_clock::time_point begin_;
  WireReader toPrinter_, toHost_;
};

}  // namespace addinhost

#endif  // _WIN32
