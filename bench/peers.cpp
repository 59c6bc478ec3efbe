#include "peers.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace bench {

int64_t nowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int64_t threadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void preciseTimers() { prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0); }

namespace {

void makeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return;
  cfmakeraw(&tio);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &tio);
}

// Writes all of `size` bytes to a non-blocking descriptor.
bool writeAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t w = ::write(fd, data + done, size - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN) return false;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 100);
  }
  return true;
}

// Waits on `fds` until `deadlineNs` (or without end when it is 0).
int waitUntil(pollfd* fds, nfds_t n, int64_t deadlineNs) {
  if (deadlineNs == 0) return ::ppoll(fds, n, nullptr, nullptr);
  int64_t left = std::max<int64_t>(0, deadlineNs - nowNs());
  timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
  return ::ppoll(fds, n, &ts, nullptr);
}

bool openWakePipe(int fds[2]) { return pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0; }

void closeWakePipe(int fds[2]) {
  for (int i = 0; i < 2; ++i) {
    if (fds[i] >= 0) ::close(fds[i]);
    fds[i] = -1;
  }
}

void wake(int fd) {
  char c = 1;
  (void)!::write(fd, &c, 1);
}

}  // namespace

// ---- Pty ---------------------------------------------------------------------

bool Pty::open() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    close();
    return false;
  }
  slave_ = name;
  hold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (hold_ < 0) {
    close();
    return false;
  }
  makeRaw(hold_);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  return true;
}

void Pty::close() {
  if (hold_ >= 0) ::close(hold_);
  if (master_ >= 0) ::close(master_);
  hold_ = master_ = -1;
}

int openRawTerminal(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  makeRaw(fd);
  tcflush(fd, TCIOFLUSH);
  return fd;
}

// ---- Responder ---------------------------------------------------------------

Responder::Responder(AnswerFor answerFor, int ptys) : answerFor_(std::move(answerFor)), answers_(256 * 256) {
  for (int i = 0; i < ptys; ++i) ptys_.push_back(std::make_unique<Pty>());
}

bool Responder::start() {
  for (auto& p : ptys_)
    if (!p->open()) return false;
  if (!openWakePipe(wake_)) return false;
  stopping_ = false;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void Responder::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    wake(wake_[1]);
    thread_.join();
  }
  closeWakePipe(wake_);
  for (auto& p : ptys_) p->close();
}

const std::vector<uint8_t>& Responder::answer(uint8_t seq, uint8_t command) {
  std::vector<uint8_t>& a = answers_[seq * 256u + command];
  if (a.empty()) a = answerFor_(seq, command);
  return a;
}

// Bytes read from one pty: each complete request frame is answered at once
// or scheduled, unless the responder is silent.
void Responder::take(int fd, const uint8_t* bytes, ssize_t count, Pending& p, int64_t now) {
  for (ssize_t k = 0; k < count; ++k) {
    if (bytes[k] == 0x01 || p.frame.size() > 1024) p.frame.clear();
    p.frame.push_back(bytes[k]);
    if (bytes[k] != 0x03) continue;
    const bool whole = p.frame.size() >= 4 && p.frame[0] == 0x01;
    const uint8_t seq = whole ? p.frame[2] : 0, command = whole ? p.frame[3] : 0;
    p.frame.clear();
    if (!whole) continue;
    ++frames_;
    if (silent_ || (p.waiting && seq == p.seq)) continue;
    const int delay = delayMs_;
    if (delay == 0) {
      const auto& a = answer(seq, command);
      writeAll(fd, a.data(), a.size());
      continue;
    }
    p.waiting = true;
    p.seq = seq;
    p.command = command;
    p.answerAt = now + static_cast<int64_t>(delay) * 1000000;
    p.synEvery = static_cast<int64_t>(synEveryMs_) * 1000000;
    p.synAt = now + p.synEvery;
  }
}

void Responder::serve() {
  preciseTimers();
  const size_t n = ptys_.size();
  std::vector<Pending> pending(n);
  std::vector<pollfd> fds(n + 1);
  uint8_t buf[4096];
  static const uint8_t kSynByte = 0x16;
  while (!stopping_) {
    int64_t deadline = 0;
    for (const Pending& p : pending) {
      if (!p.waiting) continue;
      int64_t next = p.synEvery ? std::min(p.answerAt, p.synAt) : p.answerAt;
      if (deadline == 0 || next < deadline) deadline = next;
    }
    for (size_t i = 0; i < n; ++i) fds[i] = {ptys_[i]->master(), POLLIN, 0};
    fds[n] = {wake_[0], POLLIN, 0};
    int r = waitUntil(fds.data(), fds.size(), deadline);
    if (r < 0 && errno != EINTR) break;
    if (stopping_) break;
    const int64_t now = nowNs();
    for (size_t i = 0; i < n; ++i) {
      Pending& p = pending[i];
      if (fds[i].revents & POLLIN) take(fds[i].fd, buf, ::read(fds[i].fd, buf, sizeof buf), p, now);
      if (!p.waiting) continue;
      if (p.synEvery && now >= p.synAt && p.synAt < p.answerAt) {
        writeAll(fds[i].fd, &kSynByte, 1);
        while (p.synAt <= now) p.synAt += p.synEvery;
      }
      if (now >= p.answerAt) {
        const auto& a = answer(p.seq, p.command);
        writeAll(fds[i].fd, a.data(), a.size());
        p.waiting = false;
      }
    }
  }
}

// ---- Line --------------------------------------------------------------------

Line::Line(std::string farPath, uint32_t baud, bool paceOut, bool paceIn)
    : farPath_(std::move(farPath)), baud_(baud), paceOut_(paceOut), paceIn_(paceIn) {}

bool Line::start() {
  if (!near_.open()) return false;
  far_ = openRawTerminal(farPath_);
  if (far_ < 0 || !openWakePipe(wake_)) return false;
  stopping_ = false;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void Line::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    wake(wake_[1]);
    thread_.join();
  }
  closeWakePipe(wake_);
  if (far_ >= 0) ::close(far_);
  far_ = -1;
  near_.close();
}

bool Line::pump(Direction& d, std::atomic<uint64_t>& counter) {
  uint8_t buf[4096];
  ssize_t got = ::read(d.from, buf, sizeof buf);
  if (got <= 0) return got == 0 || errno == EAGAIN || errno == EINTR || errno == EIO;
  counter += static_cast<uint64_t>(got);
  const int64_t now = nowNs();
  const int64_t byteNs = 10LL * 1000000000 / baud_;
  for (ssize_t i = 0; i < got; ++i) {
    int64_t at = now;
    if (d.paced) {
      at = std::max(now, d.lineFreeNs) + byteNs;
      d.lineFreeNs = at;
    }
    d.queue.emplace_back(buf[i], at);
  }
  return true;
}

bool Line::deliver(Direction& d, int64_t now) {
  uint8_t out[4096];
  size_t n = 0;
  while (!d.queue.empty() && d.queue.front().second <= now && n < sizeof out) {
    out[n++] = d.queue.front().first;
    d.queue.pop_front();
  }
  return n == 0 || writeAll(d.to, out, n);
}

void Line::serve() {
  preciseTimers();
  sched_param priority{};
  priority.sched_priority = 10;
  realtime_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) == 0;
  Direction out, in;
  out.from = near_.master();
  out.to = far_;
  out.paced = paceOut_;
  in.from = far_;
  in.to = near_.master();
  in.paced = paceIn_;
  while (!stopping_) {
    int64_t deadline = 0;
    for (const Direction* d : {&out, &in}) {
      if (d->queue.empty()) continue;
      int64_t next = d->queue.front().second;
      if (deadline == 0 || next < deadline) deadline = next;
    }
    pollfd fds[3] = {{out.from, POLLIN, 0}, {in.from, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int r = waitUntil(fds, 3, deadline);
    if (r < 0 && errno != EINTR) break;
    if (stopping_) break;
    // An end that hung up without bytes behind it: the line is gone.
    const short dead = POLLHUP | POLLERR | POLLNVAL;
    if (((fds[0].revents & dead) && !(fds[0].revents & POLLIN)) ||
        ((fds[1].revents & dead) && !(fds[1].revents & POLLIN)))
      break;
    if (fds[0].revents & POLLIN) pump(out, bytesOut_);
    if (fds[1].revents & POLLIN) pump(in, bytesIn_);
    const int64_t now = nowNs();
    deliver(out, now);
    deliver(in, now);
  }
}

}  // namespace bench
