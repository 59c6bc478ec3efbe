// A simulated Datecs fiscal printer on the master side of a pseudo-terminal.
// The host opens slavePath() like a serial port and talks the printer's frame
// protocol; the simulator decodes each request, runs it on its printer model
// (sim/printer.h) and answers, optionally disturbed by injected faults.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "sim/frame.h"
#include "sim/printer.h"

namespace datecs_sim {

struct Fault {
  enum Kind {
    Silence,    // no answer at all, to the request or to its repeats; not carried out
    Nak,        // a NAK byte instead of the answer; not carried out
    JunkBefore, // `bytes` (or a default run of junk) just before the answer
    Split,      // the answer in `pieces` pieces, `delayMs` apart (default 30)
    SynStorm,   // SYN bytes back to back for `delayMs` before the answer
    Oversized,  // `bytes` as the raw answer, or a generated hostile answer
    ErrorCode,  // answer `errorCode` without fields; not carried out
    Delay,      // `delayMs` of silence before the answer
    Hangup,     // close the pty master: the port vanishes mid-exchange
    DropRequest,  // this one frame is lost on the way in: no answer, not carried out
    DropAnswer,   // carried out (and remembered for a repeat), the answer lost on the way out
    FlipRequest,  // bit `bit` of the next frame received is flipped before it is decoded
    FlipAnswer,   // bit `bit` of the answer is flipped on the way out
    Stale,        // the answer before the last one, sequence byte and all, ahead of the answer
  };
  static constexpr int kKinds = Stale + 1;
  Fault() = default;
  explicit Fault(Kind k, uint8_t cmd = 0) : kind(k), command(cmd) {}
  Kind kind = Silence;
  uint8_t command = 0;  // 0 = any command
  int count = 1;        // requests it applies to; 0 or less = never used up
  std::string errorCode;
  int delayMs = 0;
  std::vector<uint8_t> bytes;
  int pieces = 3;
  int bit = -1;  // FlipRequest, FlipAnswer: bit 8 * i + b is bit b of byte i; -1 = one in the middle
  // Shape of the generated hostile answer when `bytes` is empty.
  int fields = 30;
  int fieldLength = 400;
  bool strayBytes = true;  // a last field holding 0x04 and NUL bytes
};

// A hostile but well-framed answer: `fields` fields of `fieldLength` bytes.
std::vector<uint8_t> hostileAnswer(uint8_t seq, uint8_t command, int fields, int fieldLength, bool strayBytes,
                                   const Status& status);

// An unreliable line: each fault drawn at random with its own chance, in
// percent, for every frame the printer receives (repeats too). Faults drawn
// here come on top of the injected ones.
struct Unreliable {
  uint32_t seed = 1;
  double flipRequest = 0, flipAnswer = 0, dropRequest = 0, dropAnswer = 0, nak = 0, delay = 0, garbage = 0,
         stale = 0;
  int delayMs = 150;  // Delay: longer than the host's resend interval

  // The same chance for every fault.
  static Unreliable everyFault(double percent, uint32_t seed, int delayMs);
};

// The sequence byte a host that starts counting from the calendar clock
// uses for its first frame in the second `seconds` (since 1970).
uint8_t clockSequenceByte(int64_t seconds);

struct Options {
  std::string link;  // symlink to the slave path, optional
  uint32_t baud = 0; // pace sent bytes at 10 bits per byte; 0 = instant
  std::string serial = "DT000001";
  int synIntervalMs = 60;
  bool instant = true;  // false: reports and copies take time (SYN while busy)
  std::string defaultCode = "0002";  // answer to commands the printer does not know
  std::function<void(const std::string&)> onTape;  // each printed line, as printed
  // When 0x20 to 0x7E: the printer starts with this sequence byte as the one
  // it served last, with an answer "0000" to `rememberCommand` in memory.
  int rememberSeq = -1;
  uint8_t rememberCommand = 128;
  Unreliable unreliable;
};

class Simulator {
 public:
  explicit Simulator(Options options = {});
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool start();
  void stop();
  bool running() const { return running_; }
  std::string slavePath() const;

  // The requests received, a repeat of the frame just before (same sequence
  // byte, command and data) not listed again but counted in repeats().
  std::vector<Request> requests() const;
  void clearRequests();
  uint64_t repeats() const { return repeats_; }
  uint64_t badFrames() const { return badFrames_; }
  std::vector<std::string> tape() const;

  void inject(const Fault& fault);
  void setErrorFor(uint8_t command, const std::string& code);
  void clearFaults();
  void setBusyMs(uint8_t command, int ms);  // the command keeps the printer busy this long
  void setUnreliable(const Unreliable& line);
  // The printer's memory of the last frame it served: a frame with `seq` is
  // answered "0000" for `command` from memory, without running anything.
  void rememberAnswer(uint8_t seq, uint8_t command);
  // Faults that took effect so far, of one kind (injected or drawn).
  uint64_t injected(Fault::Kind kind) const;

  uint64_t bytesReceived() const { return bytesReceived_; }
  uint64_t bytesSent() const { return bytesSent_; }

  // The printer model, for assertions and for setting it up.
  PrinterState state() const;
  Status status() const;
  bool article(uint32_t code, Article& out) const;
  // Runs `fn` on the model under the simulator's lock.
  void withPrinter(const std::function<void(Printer&)>& fn);

 private:
  void serve();
  void handle(const Request& request);
  bool admit(const Request& request, std::vector<Fault>& faults);
  std::vector<uint8_t> answerFor(const Request& request, const std::vector<Fault>& faults, int& busyMs);
  void drawFaults(std::vector<Fault>& faults);
  void corruptIncoming(uint8_t* bytes, size_t count);
  void remember(uint8_t seq, const std::vector<uint8_t>& answer);
  void deliver(const std::vector<uint8_t>& answer, const std::vector<Fault>& how);
  bool sendBytes(const uint8_t* bytes, size_t count);
  bool pauseUs(int64_t us);  // false when stopping
  std::vector<Fault> takeFaults(uint8_t command);
  void hangup();

  Options options_;
  mutable std::mutex mutex_;  // guards the model, the logs and the faults
  Printer printer_;
  std::vector<Request> requests_;
  std::vector<Fault> faults_;
  std::vector<std::pair<uint8_t, std::string>> errorFor_;

  int master_ = -1;
  int slaveHold_ = -1;  // keeps the slave side open so the master never reads EOF
  int wake_[2] = {-1, -1};
  std::string slavePath_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<uint64_t> bytesReceived_{0}, bytesSent_{0}, badFrames_{0}, repeats_{0};

  bool silenced_ = false;  // repeats of the frame a Silence fault took get no answer either
  uint8_t silencedSeq_ = 0;
  bool haveLast_ = false;
  uint8_t lastSeq_ = 0;
  std::vector<uint8_t> lastAnswer_;
  std::vector<uint8_t> earlierAnswer_;  // the one before lastAnswer_, for a stale answer

  Unreliable unreliable_;
  std::mt19937 random_{1};
  uint64_t injected_[Fault::kKinds] = {};
};

}  // namespace datecs_sim
