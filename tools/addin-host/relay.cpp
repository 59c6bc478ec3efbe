#include "relay.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace addinhost {
namespace {

bool makeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Silence after which an unfinished frame is shown as it is.
constexpr int kFlushAfterMs = 500;

}  // namespace

bool Relay::start(const std::string& device, std::string& error) {
  device_ = device;
  deviceFd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (deviceFd_ < 0) {
    error = "cannot open port " + device + ": " + strerror(errno);
    return false;
  }
  if (isatty(deviceFd_) && !makeRaw(deviceFd_)) {
    error = "cannot set up port " + device + ": " + strerror(errno);
    closeFd(deviceFd_);
    return false;
  }
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot open a pty pair: ") + strerror(errno);
    closeFd(master_);
    closeFd(deviceFd_);
    return false;
  }
  const char* name = ptsname(master_);
  slavePath_ = name ? name : "";
  // Holding the slave open keeps the master readable while the component
  // has the port closed.
  slaveHold_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHold_ < 0 || pipe2(wake_, O_CLOEXEC) != 0) {
    error = "cannot open the pty " + slavePath_ + ": " + strerror(errno);
    stop();
    return false;
  }
  makeRaw(slaveHold_);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  begin_ = std::chrono::steady_clock::now();
  stopping_ = false;
  std::fprintf(out_, "trace: %s, relayed through the pty %s that the component is given\n", device_.c_str(), slavePath_.c_str());
  std::fflush(out_);
  thread_ = std::thread([this] { run(); });
  return true;
}

void Relay::stop() {
  if (thread_.joinable()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stopping_ = true;
    char c = 0;
    if (::write(wake_[1], &c, 1) < 0) {
    }
    thread_.join();
  }
  closeFd(wake_[0]);
  closeFd(wake_[1]);
  closeFd(slaveHold_);
  closeFd(master_);
  closeFd(deviceFd_);
}

void Relay::print(std::vector<WireEvent>& events, const char* direction) {
  if (events.empty()) return;
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin_).count();
  for (const auto& e : events) std::fputs(describe(e, direction, ms).c_str(), out_);
  std::fflush(out_);
  events.clear();
}

// The component sets the line speed on the pty; the real port follows it.
void Relay::followSpeed() {
  termios t{};
  if (tcgetattr(master_, &t) != 0) return;
  speed_t speed = cfgetospeed(&t);
  if (speed == currentSpeed_ || !isatty(deviceFd_)) return;
  termios d{};
  if (tcgetattr(deviceFd_, &d) != 0) return;
  cfsetispeed(&d, speed);
  cfsetospeed(&d, speed);
  if (tcsetattr(deviceFd_, TCSANOW, &d) == 0) currentSpeed_ = speed;
}

void Relay::pass(int from, int to, WireReader& reader, const char* direction) {
  uint8_t buf[512];
  ssize_t n = ::read(from, buf, sizeof buf);
  if (n <= 0) return;
  // Printed before it is passed on, so a frame shows before the call that
  // waits for it returns.
  std::vector<WireEvent> events;
  reader.feed(buf, static_cast<size_t>(n), events);
  print(events, direction);
  size_t done = 0;
  while (done < static_cast<size_t>(n)) {
    ssize_t w = ::write(to, buf + done, static_cast<size_t>(n) - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
    } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{to, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      std::fprintf(out_, "trace: writing to %s failed: %s\n", to == deviceFd_ ? device_.c_str() : slavePath_.c_str(),
                   strerror(errno));
      break;
    }
  }
}

void Relay::run() {
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastToPrinter = Clock::now(), lastToHost = Clock::now();
  bool deviceGone = false;
  while (!stopping_) {
    pollfd fds[3] = {{master_, POLLIN, 0}, {deviceFd_, static_cast<short>(deviceGone ? 0 : POLLIN), 0}, {wake_[0], POLLIN, 0}};
    int r = ::poll(fds, 3, 100);
    if (r < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      followSpeed();
      pass(master_, deviceFd_, toPrinter_, "PC>FP");
      lastToPrinter = Clock::now();
    }
    if (!deviceGone && (fds[1].revents & POLLIN)) {
      pass(deviceFd_, master_, toHost_, "FP>PC");
      lastToHost = Clock::now();
    }
    if (!deviceGone && (fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLIN)) {
      deviceGone = true;
      std::fprintf(out_, "trace: %s hung up\n", device_.c_str());
      std::fflush(out_);
    }
    auto idle = [&](Clock::time_point t) {
      return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count() > kFlushAfterMs;
    };
    std::vector<WireEvent> events;
    if (toPrinter_.pending() && idle(lastToPrinter)) toPrinter_.flush(events), print(events, "PC>FP");
    if (toHost_.pending() && idle(lastToHost)) toHost_.flush(events), print(events, "FP>PC");
  }
  std::vector<WireEvent> events;
  toPrinter_.flush(events);
  print(events, "PC>FP");
  toHost_.flush(events);
  print(events, "FP>PC");
}

}  // namespace addinhost
