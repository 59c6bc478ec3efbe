// The host's end of the line for the simulator's tests: opens the pty slave
// with plain POSIX calls, raw, and reads what the printer sends.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/frame.h"

namespace datecs_sim_test {

class PtyLine {
 public:
  explicit PtyLine(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return;
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~PtyLine() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  bool send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  // Waits up to `ms` for bytes; returns what one read() gives, empty on
  // silence. `hangup` is set when the far end has gone.
  std::vector<uint8_t> readSome(int ms, bool* hangup = nullptr) {
    std::vector<uint8_t> out;
    pollfd p{fd_, POLLIN, 0};
    int r = ::poll(&p, 1, ms);
    if (r <= 0) return out;
    uint8_t buf[8192];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) out.assign(buf, buf + n);
    if ((n <= 0 || (p.revents & POLLHUP)) && hangup) *hangup = true;
    return out;
  }

  // Reads until a NAK or a complete answer frame has arrived (SYN and any
  // other bytes before it are kept), or until `ms` pass without a byte.
  std::vector<uint8_t> readAnswer(int ms = 2000) {
    std::vector<uint8_t> got;
    for (;;) {
      bool gone = false;
      auto part = readSome(ms, &gone);
      if (part.empty()) return got;
      got.insert(got.end(), part.begin(), part.end());
      if (complete(got)) return got;
      if (gone) return got;
    }
  }

  static bool complete(const std::vector<uint8_t>& b) {
    size_t i = 0;
    while (i < b.size() && b[i] == datecs_sim::kSyn) ++i;
    if (i < b.size() && b[i] == datecs_sim::kNak) return true;
    size_t start = i;
    while (start < b.size() && b[start] != datecs_sim::kStart) ++start;
    for (size_t e = start + 4; e < b.size(); ++e)
      if (b[e] == datecs_sim::kEndData) return b.size() >= e + 6;
    return false;
  }

  // The answer frame within received bytes: from its 0x01 to the end.
  static std::vector<uint8_t> frameOf(const std::vector<uint8_t>& b) {
    size_t start = 0;
    while (start < b.size() && b[start] != datecs_sim::kStart) ++start;
    return std::vector<uint8_t>(b.begin() + static_cast<long>(start), b.end());
  }

  // One request and its decoded answer.
  datecs_sim::Answer exchange(uint8_t seq, uint8_t command, const std::string& data, int ms = 2000) {
    send(datecs_sim::encodeRequest(seq, command, data));
    datecs_sim::Answer a;
    datecs_sim::decodeAnswer(frameOf(readAnswer(ms)), a);
    return a;
  }

 private:
  int fd_ = -1;
};

}  // namespace datecs_sim_test
