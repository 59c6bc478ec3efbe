// The far ends of the line for the benchmarks: a pseudo-terminal, a responder
// that answers every request frame with one fixed answer frame, and a line
// that carries bytes between two ends at the pace of a serial line.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

// Monotonic time in nanoseconds.
int64_t nowNs();
// CPU time of the calling thread in nanoseconds.
int64_t threadCpuNs();
// Makes the calling thread's timed waits wake on time (no timer slack).
void preciseTimers();

// A pseudo-terminal: the master for the peer, the slave path for the side
// under test. A slave descriptor is held open and set raw, so the master never
// sees a hang-up while the side under test has it closed.
class Pty {
 public:
  Pty() = default;
  ~Pty() { close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  bool open();
  void close();
  int master() const { return master_; }
  const std::string& slavePath() const { return slave_; }

 private:
  int master_ = -1;
  int hold_ = -1;
  std::string slave_;
};

// Opens a terminal device the way the component does: non-blocking, raw,
// no timeouts. Returns -1 on failure.
int openRawTerminal(const std::string& path);

// The answer frame to a request with this sequence and command byte.
using AnswerFor = std::function<std::vector<uint8_t>(uint8_t seq, uint8_t command)>;

// Answers each request frame (from 0x01 to 0x03) on any of its ptys with
// the answer for its sequence and command bytes, at once or after `delayMs`,
// sending a SYN every `synEveryMs` meanwhile when that is not 0. A frame
// with the sequence byte of the one it is working on (a resend) does not
// start the wait again. When silent it answers nothing. One thread serves
// all ptys.
class Responder {
 public:
  explicit Responder(AnswerFor answerFor, int ptys = 1);
  ~Responder() { stop(); }
  bool start();
  void stop();
  const std::string& slavePath(int i) const { return ptys_[i]->slavePath(); }
  void setDelay(int delayMs, int synEveryMs) {
    delayMs_ = delayMs;
    synEveryMs_ = synEveryMs;
  }
  void setSilent(bool silent) { silent_ = silent; }
  uint64_t frames() const { return frames_; }

 private:
  struct Pending {
    bool waiting = false;
    uint8_t seq = 0, command = 0;
    int64_t answerAt = 0, synAt = 0, synEvery = 0;
    std::vector<uint8_t> frame;  // the request read so far, from its 0x01
  };
  void serve();
  void take(int fd, const uint8_t* bytes, ssize_t count, Pending& p, int64_t now);
  const std::vector<uint8_t>& answer(uint8_t seq, uint8_t command);
  AnswerFor answerFor_;
  std::vector<std::vector<uint8_t>> answers_;  // built once per sequence and command byte
  std::vector<std::unique_ptr<Pty>> ptys_;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> delayMs_{0}, synEveryMs_{0};
  std::atomic<bool> silent_{false};
  std::atomic<uint64_t> frames_{0};
};

// A serial line between a near end (a pty whose slave the component opens)
// and a far end (a terminal device, e.g. the simulator's slave). Each paced
// direction delivers a byte no earlier than its last bit would arrive on a
// line of `baud` with 10 bits a byte, one byte after the other; an unpaced
// direction passes bytes on as soon as they are read.
class Line {
 public:
  Line(std::string farPath, uint32_t baud, bool paceOut, bool paceIn);
  ~Line() { stop(); }
  bool start();
  void stop();
  const std::string& nearPath() const { return near_.slavePath(); }
  uint64_t bytesOut() const { return bytesOut_; }  // near -> far
  uint64_t bytesIn() const { return bytesIn_; }    // far -> near
  // Whether the line's thread got real-time priority, so that the load of
  // the machine does not delay its bytes as it would not delay a UART's.
  bool realtime() const { return realtime_; }

 private:
  struct Direction {
    int from = -1, to = -1;
    bool paced = false;
    int64_t lineFreeNs = 0;
    std::deque<std::pair<uint8_t, int64_t>> queue;  // byte, when it may be delivered
  };
  void serve();
  bool pump(Direction& d, std::atomic<uint64_t>& counter);
  bool deliver(Direction& d, int64_t now);

  std::string farPath_;
  uint32_t baud_;
  bool paceOut_, paceIn_;
  Pty near_;
  int far_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> bytesOut_{0}, bytesIn_{0};
  std::atomic<bool> realtime_{false};
};

}  // namespace bench
