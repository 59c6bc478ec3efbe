#include "sim/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace datecs_sim {

namespace {

using Clock = std::chrono::steady_clock;

// A partial request left this long without its next byte is dropped.
constexpr int kInterByteTimeoutMs = 500;

}  // namespace

std::vector<uint8_t> hostileAnswer(uint8_t seq, uint8_t command, int fields, int fieldLength, bool strayBytes,
                                   const Status& status) {
  std::vector<std::string> f;
  for (int i = 0; i < fields; ++i) {
    std::string text(static_cast<size_t>(fieldLength > 0 ? fieldLength : 0), static_cast<char>('A' + i % 26));
    f.push_back(text);
  }
  if (strayBytes) f.push_back(std::string("X\x04Y\0Z\x04", 6));
  return encodeAnswer(seq, command, "0000", f, status);
}

Simulator::Simulator(Options options) : options_(std::move(options)), printer_(options_.serial) {
  printer_.setInstant(options_.instant);
  printer_.setDefaultCode(options_.defaultCode);
  if (options_.onTape) printer_.setTapeSink(options_.onTape);
  unreliable_ = options_.unreliable;
  random_.seed(unreliable_.seed);
  if (options_.rememberSeq >= 0x20 && options_.rememberSeq <= 0x7E) {
    remember(static_cast<uint8_t>(options_.rememberSeq),
             encodeAnswer(static_cast<uint8_t>(options_.rememberSeq), options_.rememberCommand, "0000", {},
                          printer_.status()));
  }
}

Simulator::~Simulator() { stop(); }

bool Simulator::start() {
  if (running_) return true;
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    master_ = -1;
    return false;
  }
  slavePath_ = name;
  slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveHold_ >= 0) {
    termios tio{};
    if (tcgetattr(slaveHold_, &tio) == 0) {
      cfmakeraw(&tio);
      tio.c_cc[VMIN] = 1;
      tio.c_cc[VTIME] = 0;
      tcsetattr(slaveHold_, TCSANOW, &tio);
    }
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    hangup();
    return false;
  }
  if (!options_.link.empty()) {
    ::unlink(options_.link.c_str());
    if (::symlink(slavePath_.c_str(), options_.link.c_str()) != 0) {
      // A missing link is not fatal: the slave path is still printed.
    }
  }
  stopping_ = false;
  running_ = true;
  thread_ = std::thread([this] { serve(); });
  return true;
}

void Simulator::stop() {
  if (!running_ && !thread_.joinable()) return;
  stopping_ = true;
  if (wake_[1] >= 0) {
    char c = 1;
    (void)!::write(wake_[1], &c, 1);
  }
  if (thread_.joinable()) thread_.join();
  if (master_ >= 0) ::close(master_);
  if (slaveHold_ >= 0) ::close(slaveHold_);
  for (int& fd : wake_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  master_ = slaveHold_ = -1;
  if (!options_.link.empty()) ::unlink(options_.link.c_str());
  running_ = false;
}

std::string Simulator::slavePath() const { return slavePath_; }

std::vector<Request> Simulator::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void Simulator::clearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

std::vector<std::string> Simulator::tape() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return printer_.tape();
}

void Simulator::inject(const Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(fault);
}

void Simulator::setErrorFor(uint8_t command, const std::string& code) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& e : errorFor_) {
    if (e.first == command) {
      e.second = code;
      return;
    }
  }
  errorFor_.emplace_back(command, code);
}

void Simulator::clearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
  errorFor_.clear();
}

void Simulator::setBusyMs(uint8_t command, int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  printer_.setBusyMs(command, ms);
}

PrinterState Simulator::state() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return printer_.state();
}

Status Simulator::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return printer_.status();
}

bool Simulator::article(uint32_t code, Article& out) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return printer_.article(code, out);
}

void Simulator::withPrinter(const std::function<void(Printer&)>& fn) {
  std::lock_guard<std::mutex> lock(mutex_);
  fn(printer_);
}

bool Simulator::pauseUs(int64_t us) {
  if (us <= 0) return !stopping_;
  timespec ts{static_cast<time_t>(us / 1000000), static_cast<long>((us % 1000000) * 1000)};
  pollfd p{wake_[0], POLLIN, 0};
  ppoll(&p, 1, &ts, nullptr);
  return !stopping_;
}

bool Simulator::sendBytes(const uint8_t* bytes, size_t count) {
  if (master_ < 0) return false;
  const uint32_t baud = options_.baud;
  // Paced in chunks of about 5 ms of line time, against an absolute clock so
  // that sleeping overheads do not add up.
  size_t chunk = baud ? std::max<size_t>(1, baud / 10 / 200) : count;
  auto t0 = Clock::now();
  size_t sent = 0;
  while (sent < count) {
    size_t n = std::min(chunk, count - sent);
    size_t done = 0;
    while (done < n) {
      ssize_t w = ::write(master_, bytes + sent + done, n - done);
      if (w > 0) {
        done += static_cast<size_t>(w);
        continue;
      }
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && errno != EAGAIN) return false;
      pollfd p[2] = {{master_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
      ::poll(p, 2, 100);
      if (stopping_) return false;
    }
    sent += n;
    bytesSent_ += n;
    if (baud) {
      auto due = t0 + std::chrono::microseconds(static_cast<int64_t>(sent) * 10 * 1000000 / baud);
      auto wait = std::chrono::duration_cast<std::chrono::microseconds>(due - Clock::now()).count();
      if (!pauseUs(wait)) return false;
    }
  }
  return true;
}

std::vector<Fault> Simulator::takeFaults(uint8_t command) {
  std::vector<Fault> taken;
  for (size_t i = 0; i < faults_.size();) {
    Fault& f = faults_[i];
    bool kindTaken = false;
    for (const Fault& t : taken) kindTaken = kindTaken || t.kind == f.kind;
    // A FlipRequest acts on the bytes before they are decoded, not here.
    if (kindTaken || f.kind == Fault::FlipRequest || (f.command != 0 && f.command != command)) {
      ++i;
      continue;
    }
    taken.push_back(f);
    if (f.count > 0 && --f.count == 0) {
      faults_.erase(faults_.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
  return taken;
}

void Simulator::hangup() {
  if (master_ >= 0) ::close(master_);
  if (slaveHold_ >= 0) ::close(slaveHold_);
  master_ = slaveHold_ = -1;
}

uint8_t clockSequenceByte(int64_t seconds) {
  return static_cast<uint8_t>(static_cast<uint32_t>(seconds) % 95u + 0x20u);
}

Unreliable Unreliable::everyFault(double percent, uint32_t seed, int delayMs) {
  Unreliable u;
  u.seed = seed;
  u.flipRequest = u.flipAnswer = u.dropRequest = u.dropAnswer = u.nak = u.delay = u.garbage = u.stale = percent;
  u.delayMs = delayMs;
  return u;
}

void Simulator::setUnreliable(const Unreliable& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  unreliable_ = line;
  random_.seed(line.seed);
}

void Simulator::rememberAnswer(uint8_t seq, uint8_t command) {
  std::lock_guard<std::mutex> lock(mutex_);
  remember(seq, encodeAnswer(seq, command, "0000", {}, printer_.status()));
}

uint64_t Simulator::injected(Fault::Kind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kind >= 0 && kind < Fault::kKinds ? injected_[kind] : 0;
}

void Simulator::remember(uint8_t seq, const std::vector<uint8_t>& answer) {
  if (haveLast_) earlierAnswer_ = lastAnswer_;
  haveLast_ = true;
  lastSeq_ = seq;
  lastAnswer_ = answer;
}

namespace {

// Flips one bit of `bytes`: bit b of byte i for 8 * i + b, taken modulo the
// size; a negative bit is one in the middle.
void flipBit(uint8_t* bytes, size_t count, int bit) {
  if (count == 0) return;
  const size_t at = bit < 0 ? count / 2 * 8 + 3 : static_cast<size_t>(bit) % (count * 8);
  bytes[at / 8] ^= static_cast<uint8_t>(1u << (at % 8));
}

const Fault* findKind(const std::vector<Fault>& faults, Fault::Kind kind) {
  for (const Fault& f : faults)
    if (f.kind == kind) return &f;
  return nullptr;
}

}  // namespace

// Adds the faults the unreliable line draws for one frame. Under the lock.
void Simulator::drawFaults(std::vector<Fault>& faults) {
  const std::pair<Fault::Kind, double> chances[] = {
      {Fault::DropRequest, unreliable_.dropRequest}, {Fault::Nak, unreliable_.nak},
      {Fault::DropAnswer, unreliable_.dropAnswer},   {Fault::FlipAnswer, unreliable_.flipAnswer},
      {Fault::Delay, unreliable_.delay},             {Fault::JunkBefore, unreliable_.garbage},
      {Fault::Stale, unreliable_.stale},
  };
  std::uniform_real_distribution<double> percent(0.0, 100.0);
  for (const auto& [kind, chance] : chances) {
    if (chance <= 0 || percent(random_) >= chance || findKind(faults, kind)) continue;
    Fault f(kind);
    f.delayMs = unreliable_.delayMs;
    f.bit = static_cast<int>(random_() % 4096);
    faults.push_back(f);
  }
}

// A bit flipped in a frame on its way in: an injected FlipRequest, or one
// the unreliable line draws for a read that holds a frame's start.
void Simulator::corruptIncoming(uint8_t* bytes, size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint8_t* start = std::find(bytes, bytes + count, kStart);
  if (start == bytes + count) return;
  const uint8_t command = start + 3 < bytes + count ? start[3] : 0;
  for (size_t i = 0; i < faults_.size(); ++i) {
    Fault& f = faults_[i];
    if (f.kind != Fault::FlipRequest || (f.command != 0 && f.command != command)) continue;
    flipBit(bytes, count, f.bit);
    ++injected_[Fault::FlipRequest];
    if (f.count > 0 && --f.count == 0) faults_.erase(faults_.begin() + static_cast<long>(i));
    return;
  }
  std::uniform_real_distribution<double> percent(0.0, 100.0);
  if (unreliable_.flipRequest > 0 && percent(random_) < unreliable_.flipRequest) {
    flipBit(bytes, count, static_cast<int>(random_() % (count * 8)));
    ++injected_[Fault::FlipRequest];
  }
}

// Logs the request and settles the faults it meets; false when it gets no
// answer at all. Under the lock.
bool Simulator::admit(const Request& request, std::vector<Fault>& faults) {
  const bool repeat = !requests_.empty() && requests_.back().seq == request.seq &&
                      requests_.back().command == request.command && requests_.back().data == request.data;
  if (repeat)
    ++repeats_;
  else
    requests_.push_back(request);
  if (silenced_ && request.seq == silencedSeq_) return false;
  silenced_ = false;
  faults = takeFaults(request.command);
  drawFaults(faults);
  for (const Fault& f : faults) ++injected_[f.kind];
  if (findKind(faults, Fault::Hangup)) {
    hangup();
    return false;
  }
  if (findKind(faults, Fault::Silence)) {
    silenced_ = true;
    silencedSeq_ = request.seq;
    return false;
  }
  return !findKind(faults, Fault::DropRequest);
}

// The printer's answer: a NAK, a forced answer, a repeat from memory, or the
// command run on the model. Under the lock.
std::vector<uint8_t> Simulator::answerFor(const Request& request, const std::vector<Fault>& faults, int& busyMs) {
  std::string persistent;
  for (const auto& e : errorFor_)
    if (e.first == request.command || e.first == 0) persistent = e.second;
  auto errorAnswer = [&](const std::string& code) {
    printer_.noteAnswerCode(code);
    remember(request.seq, encodeAnswer(request.seq, request.command, code, {}, printer_.status()));
    return lastAnswer_;
  };
  if (findKind(faults, Fault::Nak)) return {kNak};
  if (const Fault* f = findKind(faults, Fault::Oversized)) {
    return !f->bytes.empty() ? f->bytes
                             : hostileAnswer(request.seq, request.command, f->fields, f->fieldLength, f->strayBytes,
                                             printer_.status());
  }
  if (const Fault* f = findKind(faults, Fault::ErrorCode)) return errorAnswer(f->errorCode);
  if (haveLast_ && request.seq == lastSeq_) return lastAnswer_;  // a repeat: the same answer, not a second run
  if (!persistent.empty()) return errorAnswer(persistent);
  Outcome o = printer_.execute(request.command, request.data);
  busyMs = o.busyMs;
  remember(request.seq, encodeAnswer(request.seq, request.command, o.code, o.fields, printer_.status()));
  return lastAnswer_;
}

void Simulator::handle(const Request& request) {
  std::vector<uint8_t> answer;
  std::vector<uint8_t> stale;
  std::vector<Fault> faults;
  int busyMs = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!admit(request, faults)) return;
    answer = answerFor(request, faults, busyMs);
    if (findKind(faults, Fault::Stale)) {
      const uint8_t earlier = static_cast<uint8_t>(request.seq == 0x20 ? 0x7E : request.seq - 1);
      stale = !earlierAnswer_.empty() && earlierAnswer_ != answer
                  ? earlierAnswer_
                  : encodeAnswer(earlier, request.command, "0000", {}, printer_.status());
    }
  }
  // The printer works: a SYN every interval until the work is done.
  if (busyMs > 0) {
    auto t0 = Clock::now();
    const int step = options_.synIntervalMs > 0 ? options_.synIntervalMs : 60;
    for (int at = step; at < busyMs; at += step) {
      auto wait = std::chrono::duration_cast<std::chrono::microseconds>(t0 + std::chrono::milliseconds(at) -
                                                                        Clock::now()).count();
      if (!pauseUs(wait) || !sendBytes(&kSyn, 1)) return;
    }
    auto wait = std::chrono::duration_cast<std::chrono::microseconds>(t0 + std::chrono::milliseconds(busyMs) -
                                                                      Clock::now()).count();
    if (!pauseUs(wait)) return;
  }
  if (findKind(faults, Fault::DropAnswer)) return;
  if (!stale.empty() && !sendBytes(stale.data(), stale.size())) return;
  if (const Fault* flip = findKind(faults, Fault::FlipAnswer)) flipBit(answer.data(), answer.size(), flip->bit);
  deliver(answer, faults);
}

void Simulator::deliver(const std::vector<uint8_t>& answer, const std::vector<Fault>& faults) {
  const Fault* split = nullptr;
  for (const Fault& f : faults) {
    switch (f.kind) {
      case Fault::Delay:
        if (!pauseUs(static_cast<int64_t>(f.delayMs) * 1000)) return;
        break;
      case Fault::SynStorm: {
        auto end = Clock::now() + std::chrono::milliseconds(f.delayMs);
        std::vector<uint8_t> syns(16, kSyn);
        while (Clock::now() < end) {
          if (!sendBytes(syns.data(), syns.size()) || !pauseUs(1000)) return;
        }
        break;
      }
      case Fault::Split: split = &f; break;
      default: break;
    }
  }
  for (const Fault& f : faults) {
    if (f.kind != Fault::JunkBefore) continue;
    static const uint8_t junk[] = {0xFF, 0x00, 'j', 'u', 'n', 'k', 0x03};
    if (!f.bytes.empty()) {
      if (!sendBytes(f.bytes.data(), f.bytes.size())) return;
    } else if (!sendBytes(junk, sizeof junk)) {
      return;
    }
  }
  if (split && answer.size() > 1) {
    size_t pieces = static_cast<size_t>(split->pieces > 1 ? split->pieces : 2);
    if (pieces > answer.size()) pieces = answer.size();
    int gap = split->delayMs > 0 ? split->delayMs : 30;
    size_t at = 0;
    for (size_t i = 0; i < pieces; ++i) {
      size_t end = (i + 1 == pieces) ? answer.size() : answer.size() * (i + 1) / pieces;
      if (i > 0 && !pauseUs(static_cast<int64_t>(gap) * 1000)) return;
      if (!sendBytes(answer.data() + at, end - at)) return;
      at = end;
    }
    return;
  }
  sendBytes(answer.data(), answer.size());
}

void Simulator::serve() {
  FrameDecoder decoder;
  std::vector<FrameDecoder::Event> events;
  uint8_t buf[4096];
  auto lastByte = Clock::now();
  while (!stopping_ && master_ >= 0) {
    pollfd p[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int r = ::poll(p, 2, 100);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (p[1].revents) break;
    if (r == 0 || !(p[0].revents & POLLIN)) {
      if (decoder.midFrame() && Clock::now() - lastByte > std::chrono::milliseconds(kInterByteTimeoutMs))
        decoder.reset();
      if (p[0].revents & (POLLHUP | POLLERR)) pauseUs(20000);
      continue;
    }
    ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      pauseUs(20000);  // no slave open at the moment
      continue;
    }
    lastByte = Clock::now();
    bytesReceived_ += static_cast<uint64_t>(n);
    events.clear();
    corruptIncoming(buf, static_cast<size_t>(n));
    decoder.feed(buf, static_cast<size_t>(n), events);
    for (const auto& ev : events) {
      if (ev.bad) {
        ++badFrames_;
        sendBytes(&kNak, 1);
      } else {
        handle(ev.request);
      }
      if (master_ < 0 || stopping_) break;
    }
  }
}

}  // namespace datecs_sim
