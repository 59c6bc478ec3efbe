#include "scenarios.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "abihost/host.h"
#include "peers.h"
#include "sim/frame.h"
#include "sim/simulator.h"

namespace bench {
namespace {

using abihost::Value;

constexpr char16_t kPassword[] = u"482915";

// The component loaded through its binary interface, as the platform does.
class Host {
 public:
  explicit Host(const std::string& library)
      : library_(std::make_shared<abihost::Library>(library)),
        component_(std::make_unique<abihost::Component>(library_)) {}

  abihost::Component& c() { return *component_; }

  // Points the Port setting at `path` and connects.
  bool connect(const std::string& path) {
    auto set = component_->callFunc(u"SetParameter", {Value::text_(u"Port"), Value::text_(abihost::fromUtf8(path))});
    auto open = component_->callFunc(u"Open", {Value::text_(u"")});
    return set.ok && open.ok && !open.args.empty() && !open.args[0].text.empty();
  }

  long method(const std::u16string& name) {
    long n = component_->findMethod(name);
    if (n < 0) throw std::runtime_error("no method " + abihost::toUtf8(name));
    return n;
  }

  // The arguments of `name` with the declared defaults, the first ones
  // replaced by `args`.
  std::vector<Value> arguments(long n, std::vector<Value> args) { return component_->withDefaults(n, std::move(args)); }

 private:
  std::shared_ptr<abihost::Library> library_;
  std::unique_ptr<abihost::Component> component_;
};

// DirectIO with its arguments already in the platform's variants, so a call
// costs the component's work and nothing of the host's conversions.
class RawDirectIO {
 public:
  RawDirectIO(Host& host, uint8_t command) : host_(host), method_(host.method(u"DirectIO")) {
    std::vector<Value> args = {Value::text_(kPassword), Value::ui1(command), Value::text_(u"")};
    prepared_.resize(args.size());
    for (size_t i = 0; i < args.size(); ++i) args[i].toRaw(prepared_[i], storage_);
  }
  bool operator()() {
    abihost::RawVariant raw[3];
    std::memcpy(raw, prepared_.data(), sizeof raw);
    return host_.c().callAsProc(method_, raw, 3);
  }

 private:
  Host& host_;
  long method_;
  std::deque<std::string> storage_;
  std::vector<abihost::RawVariant> prepared_;
};

// The answer every responder sends: a well-formed frame with one field, so
// that Open finds an identity in it, echoing the request's sequence and
// command bytes as a printer does.
AnswerFor fixedAnswer() {
  return [](uint8_t seq, uint8_t command) {
    return datecs_sim::encodeAnswer(seq, command, "0000", {"DT000001"},
                                    datecs_sim::Status{0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
  };
}

// The bare round trip: write the request, poll, read until the answer frame
// is complete (starts with 0x01, last byte so far 0x03).
class BareExchange {
 public:
  BareExchange(int fd, std::vector<uint8_t> request) : fd_(fd), request_(std::move(request)) {}
  bool operator()(const std::vector<uint8_t>& request) {
    request_ = request;
    return (*this)();
  }
  bool operator()() {
    size_t done = 0;
    while (done < request_.size()) {
      ssize_t w = ::write(fd_, request_.data() + done, request_.size() - done);
      if (w > 0) {
        done += static_cast<size_t>(w);
      } else if (errno != EINTR && errno != EAGAIN) {
        return false;
      } else {
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 1000);
      }
    }
    size_t have = 0;
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      int r = ::poll(&p, 1, 5000);
      if (r == 0) return false;
      if (r < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      ssize_t got = ::read(fd_, buffer_ + have, sizeof buffer_ - have);
      if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (got <= 0) return false;
      have += static_cast<size_t>(got);
      if (buffer_[0] == 0x01 && buffer_[have - 1] == 0x03) return true;
      if (have == sizeof buffer_) return false;
    }
  }

 private:
  int fd_;
  std::vector<uint8_t> request_;
  uint8_t buffer_[8192];
};

// ---- receipts -----------------------------------------------------------------

// One sale receipt: open, ten program-and-sell articles, a discount on the
// subtotal, the total, a cash payment, close. Article names are new in every
// receipt, so the printer's code search normally takes the first code.
class ReceiptRunner {
 public:
  explicit ReceiptRunner(Host& host) : host_(host) {
    open_ = host.method(u"BegFiscalReceipt");
    sell_ = host.method(u"ProgSaleArticle");
    discount_ = host.method(u"DiscountPersSum");
    total_ = host.method(u"PrintTotal");
    pay_ = host.method(u"TotalByCash");
    close_ = host.method(u"CloseReceipt");
    openArgs_ = host.arguments(open_, {Value::text_(kPassword)});
    sellArgs_ = host.arguments(sell_, {Value::text_(kPassword)});
    discountArgs_ = host.arguments(discount_, {Value::text_(kPassword), Value::text_(u"5.00")});
    totalArgs_ = host.arguments(total_, {Value::text_(kPassword)});
    payArgs_ = host.arguments(pay_, {Value::text_(kPassword), Value::text_(u"0.00")});
    closeArgs_ = host.arguments(close_, {Value::text_(kPassword)});
  }

  // Returns false when any call was refused.
  bool run() {
    ++number_;
    abihost::Component& c = host_.c();
    bool ok = c.callProc(open_, openArgs_).ok;
    for (int i = 0; i < 10; ++i) {
      std::string name = "Article " + std::to_string(number_) + "-" + std::to_string(i);
      sellArgs_[1] = Value::text_(abihost::fromUtf8(name));
      sellArgs_[6] = Value::text_(i % 2 ? u"2.000" : u"1.000");
      sellArgs_[7] = Value::text_(u"12.50");
      ok = c.callProc(sell_, sellArgs_).ok && ok;
    }
    ok = c.callProc(discount_, discountArgs_).ok && ok;
    ok = c.callProc(total_, totalArgs_).ok && ok;
    ok = c.callProc(pay_, payArgs_).ok && ok;
    ok = c.callProc(close_, closeArgs_).ok && ok;
    return ok;
  }

 private:
  Host& host_;
  int number_ = 0;
  long open_, sell_, discount_, total_, pay_, close_;
  std::vector<Value> openArgs_, sellArgs_, discountArgs_, totalArgs_, payArgs_, closeArgs_;
};

long residentKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

}  // namespace

// ---- 1. exchange overhead ---------------------------------------------------------

void exchangeOverhead(const Settings& s, Report& r) {
  const uint8_t command = 0x80;
  Responder responder(fixedAnswer(), 2);
  if (!responder.start()) throw std::runtime_error("responder: no pty");
  Host host(s.library);
  if (!host.connect(responder.slavePath(0))) throw std::runtime_error("exchange: Open failed");
  RawDirectIO library(host, command);

  int fd = openRawTerminal(responder.slavePath(1));
  if (fd < 0) throw std::runtime_error("exchange: cannot open the bare pty");
  // The same bytes as the component's request: "482915;" behind command 0x80.
  BareExchange bare(fd, datecs_sim::encodeRequest(0x21, command, "482915;"));

  const int warmup = s.quick ? 200 : 1000;
  const int rounds = s.quick ? 2000 : 20000;
  for (int i = 0; i < warmup; ++i) {
    library();
    bare();
  }
  std::vector<int64_t> lib, raw, pairRatio;
  lib.reserve(rounds);
  raw.reserve(rounds);
  const uint64_t framesBefore = responder.frames();
  bool ok = true;
  for (int i = 0; i < rounds; ++i) {
    int64_t a = 0, b = 0;
    // Alternate the order so neither side always runs on a warmer cache.
    for (int k = 0; k < 2; ++k) {
      const bool libFirst = (i & 1) == 0;
      const bool runLib = (k == 0) == libFirst;
      int64_t t0 = nowNs();
      bool done = runLib ? library() : bare();
      int64_t t = nowNs() - t0;
      ok = ok && done;
      (runLib ? a : b) = t;
    }
    lib.push_back(a);
    raw.push_back(b);
    pairRatio.push_back(b > 0 ? a * 1000 / b : 0);
  }
  ::close(fd);
  const uint64_t frames = responder.frames() - framesBefore;
  responder.stop();
  if (!ok || frames != static_cast<uint64_t>(2 * rounds))
    r.notes.push_back("exchange: some round trips failed (" + std::to_string(frames) + " frames answered)");

  const double ml = median(lib) / 1000.0, mb = median(raw) / 1000.0;
  const double ratio = ml / mb;
  r.add("1. Exchange overhead: DirectIO / bare round trip (median)",
        fmt("%.3f (%.1f us / %.1f us)", ratio, ml, mb), "<= 1.10", ratio <= 1.10 ? "met" : "missed");
  r.notes.push_back(fmt("exchange: %.0f interleaved pairs; library p10/p50/p90 = %.1f/%.1f/%.1f us", rounds,
                        percentile(lib, 0.1) / 1000, ml, percentile(lib, 0.9) / 1000) +
                    fmt(", bare p10/p50/p90 = %.1f/%.1f/%.1f us", percentile(raw, 0.1) / 1000, mb,
                        percentile(raw, 0.9) / 1000) +
                    fmt(", median of per-pair ratios %.3f, library - bare at the median %.1f us",
                        median(pairRatio) / 1000.0, ml - mb));
}

// ---- 2. CPU while waiting ---------------------------------------------------------

void cpuWhileWaiting(const Settings& s, Report& r) {
  const uint8_t command = 0x80;
  Responder responder(fixedAnswer(), 1);
  if (!responder.start()) throw std::runtime_error("responder: no pty");
  Host host(s.library);
  if (!host.connect(responder.slavePath(0))) throw std::runtime_error("cpu: Open failed");
  RawDirectIO directIO(host, command);

  struct Case {
    int delayMs, synMs, repeats;
  };
  std::vector<Case> cases = s.quick ? std::vector<Case>{{200, 0, 2}, {1000, 60, 1}}
                                    : std::vector<Case>{{200, 0, 5}, {1000, 0, 2}, {5000, 0, 1}, {5000, 60, 1}};
  double worst = 0;
  std::string detail = "cpu:";
  for (const Case& c : cases) {
    responder.setDelay(c.delayMs, c.synMs);
    int64_t cpu = 0, wall = 0;
    for (int i = 0; i < c.repeats; ++i) {
      int64_t c0 = threadCpuNs(), w0 = nowNs();
      directIO();
      wall += nowNs() - w0;
      cpu += threadCpuNs() - c0;
    }
    const double share = 100.0 * static_cast<double>(cpu) / static_cast<double>(wall);
    worst = std::max(worst, share);
    detail += fmt(" answer after %.0f ms", c.delayMs) + (c.synMs ? fmt(" with SYN every %.0f ms", c.synMs) : "") +
              fmt(": %.1f us CPU per call, %.4f%% of wall time (%.0f calls);", cpu / 1000.0 / c.repeats, share,
                  c.repeats);
  }
  responder.setDelay(0, 0);
  r.add("2. CPU while waiting: calling thread CPU / wall (worst case)", fmt("%.4f%%", worst), "<= 1%",
        worst <= 1.0 ? "met" : "missed", true);
  r.notes.push_back(detail);
}

// ---- 3. receipts --------------------------------------------------------------------

// At the instant setting: the component straight on the simulator's pty.
void receiptsInstant(const Settings& s, Report& r) {
  datecs_sim::Simulator sim;
  if (!sim.start()) throw std::runtime_error("simulator: no pty");
  Host host(s.library);
  if (!host.connect(sim.slavePath())) throw std::runtime_error("receipts: Open failed");
  ReceiptRunner runner(host);
  for (int i = 0; i < 3; ++i) runner.run();
  const int count = s.quick ? 20 : 300;
  sim.clearRequests();
  const int64_t c0 = threadCpuNs(), t0 = nowNs();
  bool ok = true;
  for (int i = 0; i < count; ++i) ok = runner.run() && ok;
  const double seconds = (nowNs() - t0) / 1e9;
  const double cpu = (threadCpuNs() - c0) / 1e9;
  const size_t exchanges = sim.requests().size();
  if (!ok) r.notes.push_back("receipts: a call was refused at the instant setting");
  r.add("3a. Receipts per second, instant simulator", fmt("%.1f receipts/s", count / seconds), "(no goal)", "-");
  r.notes.push_back(fmt("receipts instant: %.0f receipts, %.1f exchanges each, %.1f us wall per exchange", count,
                        static_cast<double>(exchanges) / count, seconds * 1e6 / exchanges) +
                    fmt(", of it %.1f us CPU in the calling thread (component and host)", cpu * 1e6 / exchanges));
  sim.stop();
}

struct LineCase {
  uint32_t baud;
  bool simPaces;  // the simulator paces its answers; otherwise the line paces both ways
  int count;
};

// One side of a paced run: wall time and bytes summed over the receipts,
// and each receipt's time over its bytes' line time, in thousandths.
struct PacedSide {
  uint64_t bytes = 0;
  double seconds = 0;
  std::vector<int64_t> ratios;

  // Times `run` and counts the bytes `line` carried meanwhile.
  template <typename Run>
  void measure(const Line& line, uint32_t baud, Run run) {
    const uint64_t b0 = line.bytesOut() + line.bytesIn();
    const int64_t t0 = nowNs();
    run();
    const int64_t t = nowNs() - t0;
    const uint64_t b = line.bytesOut() + line.bytesIn() - b0;
    seconds += t / 1e9;
    bytes += b;
    ratios.push_back(static_cast<int64_t>(t / 1e6 / (static_cast<double>(b) * 10.0 / baud)));
  }
  double lineSeconds(uint32_t baud) const { return static_cast<double>(bytes) * 10.0 / baud; }
};

void reportLineCase(const LineCase& c, const PacedSide& host, const PacedSide& bare, bool realtime, Report& r) {
  const double limit = host.lineSeconds(c.baud), bareLimit = bare.lineSeconds(c.baud);
  const double ratio = median(host.ratios) / 1000.0, bareRatio = median(bare.ratios) / 1000.0;
  const std::string how = c.simPaces ? "simulator paces answers, line paces requests" : "line paces both ways";
  const bool goal = c.baud == 9600 && !c.simPaces;
  const char* label = c.simPaces ? (c.baud == 9600 ? "3d" : "3e") : (c.baud == 9600 ? "3b" : "3c");
  r.add(std::string(label) + fmt(". Receipt time / line time at %.0f baud, median receipt (", c.baud) + how + ")",
        fmt("%.4f (%.3f s / %.3f s); bare client %.4f", ratio, host.seconds / c.count, limit / c.count, bareRatio),
        goal ? "<= 1.05" : "(no goal)", goal ? (ratio <= 1.05 ? "met" : "missed") : "-");
  r.notes.push_back(fmt("receipts at %.0f baud (", c.baud) + how +
                    fmt("): %.0f receipts, %.0f bytes each both ways; all together %.4f of the line time, ", c.count,
                        static_cast<double>(host.bytes) / c.count, host.seconds / limit) +
                    fmt("%.1f ms over it per receipt, per-receipt ratios %.3f..%.3f; ", (host.seconds - limit) * 1000 / c.count,
                        percentile(host.ratios, 0) / 1000.0, percentile(host.ratios, 1) / 1000.0) +
                    fmt("the bare client replaying the same frames on a twin: %.4f of its line time, %.1f ms over it",
                        bare.seconds / bareLimit, (bare.seconds - bareLimit) * 1000 / c.count) +
                    (c.simPaces || realtime ? "" : "; the line ran without real-time priority"));
}

// Over a paced line: measured time over the time its bytes take. Side by
// side: the component on one simulator and line, a bare client replaying the
// component's request frames on a twin of both.
void receiptsOverLine(const Settings& s, const LineCase& c, Report& r) {
  datecs_sim::Options options;
  options.baud = c.simPaces ? c.baud : 0;
  datecs_sim::Simulator sim(options), twin(options);
  if (!sim.start() || !twin.start()) throw std::runtime_error("simulator: no pty");
  Line line(sim.slavePath(), c.baud, true, !c.simPaces), twinLine(twin.slavePath(), c.baud, true, !c.simPaces);
  if (!line.start() || !twinLine.start()) throw std::runtime_error("line: no pty");
  int bareFd = openRawTerminal(twinLine.nearPath());
  if (bareFd < 0) throw std::runtime_error("line: cannot open the bare side");
  BareExchange bareExchange(bareFd, {});
  Host host(s.library);
  if (!host.connect(line.nearPath())) throw std::runtime_error("receipts: Open over the line failed");
  ReceiptRunner runner(host);
  bool ok = true;
  auto replay = [&](const std::vector<datecs_sim::Request>& requests) {
    for (const auto& q : requests) ok = bareExchange(datecs_sim::encodeRequest(q.seq, q.command, q.data)) && ok;
  };
  sim.clearRequests();
  runner.run();  // warm up; the twin follows it so both printers stay alike
  replay(sim.requests());
  const uint64_t simIn0 = sim.bytesReceived(), simOut0 = sim.bytesSent();
  PacedSide hostSide, bareSide;
  for (int i = 0; i < c.count; ++i) {
    sim.clearRequests();
    hostSide.measure(line, c.baud, [&] { ok = runner.run() && ok; });
    const auto requests = sim.requests();
    bareSide.measure(twinLine, c.baud, [&] { replay(requests); });
  }
  ::close(bareFd);
  const uint64_t simBytes = (sim.bytesReceived() - simIn0) + (sim.bytesSent() - simOut0);
  if (!ok) r.notes.push_back("receipts: a call or a replayed exchange failed over the line");
  if (simBytes != hostSide.bytes)
    r.notes.push_back("receipts: the line and the simulator counted different bytes (" + std::to_string(hostSide.bytes) +
                      " / " + std::to_string(simBytes) + ")");
  reportLineCase(c, hostSide, bareSide, line.realtime(), r);
  line.stop();
  twinLine.stop();
  sim.stop();
  twin.stop();
}

void receipts(const Settings& s, Report& r) {
  receiptsInstant(s, r);
  std::vector<LineCase> cases;
  for (bool simPaces : {false, true}) {
    cases.push_back({9600, simPaces, s.quick ? 1 : 5});
    cases.push_back({115200, simPaces, s.quick ? 2 : 20});
  }
  for (const LineCase& c : cases) receiptsOverLine(s, c, r);
}

// ---- 4. memory ----------------------------------------------------------------------

int memoryChild(const std::string& library, int count) {
  // The simulator runs in a process of its own, so its growing tape and
  // logs do not count as the host's memory.
  int toSim[2], fromSim[2];
  if (pipe(toSim) != 0 || pipe(fromSim) != 0) return 2;
  pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    ::close(toSim[1]);
    ::close(fromSim[0]);
    datecs_sim::Simulator sim;
    if (!sim.start()) _exit(3);
    std::string path = sim.slavePath() + "\n";
    (void)!::write(fromSim[1], path.data(), path.size());
    ::close(fromSim[1]);
    char c;
    while (::read(toSim[0], &c, 1) > 0) {
    }
    sim.stop();
    _exit(0);
  }
  ::close(toSim[0]);
  ::close(fromSim[1]);
  std::string path;
  char c;
  while (::read(fromSim[0], &c, 1) == 1 && c != '\n') path.push_back(c);
  ::close(fromSim[0]);

  int status = 0;
  {
    Host host(library);
    if (!host.connect(path)) {
      std::printf("error Open failed on %s\n", path.c_str());
      status = 1;
    } else {
      std::printf("rss 0 %ld\n", residentKb("VmRSS"));
      ReceiptRunner runner(host);
      std::vector<int> samples = {1, 100, 1000, 10000};
      if (count < 10000) samples = {1, 100, count};
      int refused = 0;
      for (int i = 1; i <= count; ++i) {
        if (!runner.run()) ++refused;
        if (std::find(samples.begin(), samples.end(), i) != samples.end())
          std::printf("rss %d %ld\n", i, residentKb("VmRSS"));
        std::fflush(stdout);
      }
      std::printf("refused %d\n", refused);
      std::printf("problems %zu\n", host.c().problems().size());
    }
  }
  std::printf("hwm %ld\n", residentKb("VmHWM"));
  ::close(toSim[1]);
  waitpid(pid, nullptr, 0);
  return status;
}

void memory(const Settings& s, Report& r) {
  const int count = s.quick ? 300 : 10000;
  std::string command = "'" + s.self + "' --memory-child " + std::to_string(count) + " --library '" + s.library + "'";
  const int64_t t0 = nowNs();
  FILE* child = popen(command.c_str(), "r");
  if (!child) throw std::runtime_error("memory: cannot start the child");
  std::vector<std::pair<int, long>> rss;
  long hwm = -1;
  int refused = -1;
  size_t problems = 0;
  char line[256];
  while (std::fgets(line, sizeof line, child)) {
    int n = 0;
    long kb = 0;
    if (std::sscanf(line, "rss %d %ld", &n, &kb) == 2) rss.emplace_back(n, kb);
    std::sscanf(line, "hwm %ld", &hwm);
    std::sscanf(line, "refused %d", &refused);
    std::sscanf(line, "problems %zu", &problems);
    if (std::strncmp(line, "error", 5) == 0) r.notes.push_back(std::string("memory: ") + line);
  }
  const int rc = pclose(child);
  const double seconds = (nowNs() - t0) / 1e9;
  if (rc != 0 || rss.size() < 3) {
    r.add("4. Memory", "run failed", "no growth after 100 receipts", "missed", true);
    return;
  }
  long at100 = 0, last = rss.back().second;
  std::string samples;
  for (auto& p : rss) {
    if (p.first == 100) at100 = p.second;
    samples += (samples.empty() ? "" : ", ") + std::to_string(p.first) + ": " + std::to_string(p.second) + " kB";
  }
  const long growth = last - at100;
  // A page or two of slack: the allocator may touch a new page without any leak.
  const bool met = growth <= 16 && refused == 0 && problems == 0;
  r.add("4. Memory: peak RSS of a host running " + std::to_string(count) + " receipts; RSS growth after 100",
        "peak " + std::to_string(hwm) + " kB; growth " + std::to_string(growth) + " kB", "no growth after 100",
        met ? "met" : "missed", true);
  r.notes.push_back("memory: RSS after n receipts (0 = connected, none run): " + samples + fmt("; %.1f s", seconds) +
                    "; refused calls " + std::to_string(refused) + ", host-side problems " + std::to_string(problems));
}

}  // namespace bench
