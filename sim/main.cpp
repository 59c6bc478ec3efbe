// datecs-sim: a simulated Datecs fiscal printer on a pseudo-terminal.
// Prints the slave path on the first line of standard output, then serves
// until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tools/cli/options.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

void usage() {
  std::fprintf(stderr,
               "usage: datecs-sim [options]\n"
               "  --link PATH          symlink PATH to the pty slave\n"
               "  --tape FILE          append printed lines to FILE (default: standard output)\n"
               "  --baud N             pace sent bytes at N baud (10 bits a byte); 0 = instant\n"
               "  --serial S           serial number (default DT000001)\n"
               "  --slow               reports and copies take their usual time (SYN while busy)\n"
               "  --busy CMD:MS        command CMD keeps the printer busy MS milliseconds\n"
               "  --default-code CODE  answer to unknown commands (default 0002)\n"
               "Faults (CMD 0 = any command; COUNT requests, default 1, 0 = every one):\n"
               "  --silence CMD[:COUNT]      no answer\n"
               "  --nak CMD[:COUNT]          NAK instead of the answer\n"
               "  --junk CMD[:COUNT]         junk bytes before the answer\n"
               "  --split CMD:PIECES:MS[:COUNT]  answer in pieces, MS apart\n"
               "  --syn-storm CMD:MS[:COUNT] SYN bytes for MS before the answer\n"
               "  --oversized CMD:FIELDS:LEN[:COUNT]  hostile answer with FIELDS fields of LEN bytes\n"
               "  --error CMD:CODE[:COUNT]   answer CODE (without COUNT: every time)\n"
               "  --delay CMD:MS[:COUNT]     silence of MS before the answer\n"
               "  --hangup CMD               close the pty when CMD arrives\n");
}

std::vector<std::string> parts(const std::string& s) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t colon = s.find(':', start);
    out.push_back(s.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return out;
}

bool toInt(const std::string& s, int& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0') return false;
  out = static_cast<int>(v);
  return true;
}

// Parses "CMD[:A[:B...]][:COUNT]" with `numbers` numeric values after CMD.
bool parseFaultArgs(const std::string& arg, int numbers, datecs_sim::Fault& f, std::vector<int>& values) {
  auto p = parts(arg);
  int cmd = 0;
  if (p.size() < static_cast<size_t>(1 + numbers) || p.size() > static_cast<size_t>(2 + numbers) || !toInt(p[0], cmd) ||
      cmd < 0 || cmd > 255)
    return false;
  f.command = static_cast<uint8_t>(cmd);
  values.clear();
  for (int i = 0; i < numbers; ++i) {
    int v = 0;
    if (!toInt(p[1 + i], v)) return false;
    values.push_back(v);
  }
  if (p.size() == static_cast<size_t>(2 + numbers) && !toInt(p.back(), f.count)) return false;
  return true;
}

// What the command line asks of the simulator.
struct Setup {
  datecs_sim::Options options;
  std::string tapePath;
  std::vector<datecs_sim::Fault> faults;
  std::vector<std::pair<int, std::string>> errors;
  std::vector<std::pair<int, int>> busy;
};

// "--error CMD:CODE" answers CODE every time; with ":COUNT" it is a fault
// for COUNT requests.
bool takeError(const std::string& v, Setup& setup) {
  auto p = parts(v);
  int cmd = 0, count = 0;
  if ((p.size() != 2 && p.size() != 3) || !toInt(p[0], cmd) || p[1].size() != 4) return false;
  if (p.size() == 2) {
    setup.errors.emplace_back(cmd, p[1]);
    return true;
  }
  datecs_sim::Fault f{datecs_sim::Fault::ErrorCode};
  bool ok = toInt(p[2], count);
  f.command = static_cast<uint8_t>(cmd);
  f.errorCode = p[1];
  f.count = count;
  setup.faults.push_back(f);
  return ok;
}

// A fault option: `numbers` values after CMD, stored by `store`.
cli::Option fault(const char* name, datecs_sim::Fault::Kind kind, int numbers, Setup& setup,
                  void (*store)(datecs_sim::Fault&, const std::vector<int>&) = nullptr) {
  return {name, "", true, [=, &setup](const std::string& v) {
            datecs_sim::Fault f{kind};
            std::vector<int> nums;
            bool ok = parseFaultArgs(v, numbers, f, nums);
            if (ok && store) store(f, nums);
            setup.faults.push_back(f);
            return ok;
          }};
}

std::vector<cli::Option> optionTable(Setup& setup, bool& help) {
  using F = datecs_sim::Fault;
  datecs_sim::Options& o = setup.options;
  auto delay = [](F& f, const std::vector<int>& n) { f.delayMs = n[0]; };
  return {
      {"--help", "-h", false, [&](const std::string&) { return help = true; }, true},
      {"--slow", "", false, [&](const std::string&) { return o.instant = false, true; }},
      {"--link", "", true, [&](const std::string& v) { return o.link = v, true; }},
      {"--tape", "", true, [&](const std::string& v) { return setup.tapePath = v, true; }},
      {"--baud", "", true, [&](const std::string& v) {
         int b = 0;
         bool ok = toInt(v, b) && b >= 0;
         o.baud = static_cast<uint32_t>(b);
         return ok;
       }},
      {"--serial", "", true, [&](const std::string& v) { return o.serial = v, true; }},
      {"--default-code", "", true, [&](const std::string& v) { return o.defaultCode = v, v.size() == 4; }},
      {"--busy", "", true, [&](const std::string& v) {
         auto p = parts(v);
         int cmd = 0, ms = 0;
         bool ok = p.size() == 2 && toInt(p[0], cmd) && toInt(p[1], ms);
         setup.busy.emplace_back(cmd, ms);
         return ok;
       }},
      {"--error", "", true, [&](const std::string& v) { return takeError(v, setup); }},
      fault("--silence", F::Silence, 0, setup),
      fault("--nak", F::Nak, 0, setup),
      fault("--junk", F::JunkBefore, 0, setup),
      fault("--hangup", F::Hangup, 0, setup),
      fault("--split", F::Split, 2, setup, [](F& f, const std::vector<int>& n) { f.pieces = n[0], f.delayMs = n[1]; }),
      fault("--syn-storm", F::SynStorm, 1, setup, delay),
      fault("--delay", F::Delay, 1, setup, delay),
      fault("--oversized", F::Oversized, 2, setup,
            [](F& f, const std::vector<int>& n) { f.fields = n[0], f.fieldLength = n[1]; }),
  };
}

// Serves until SIGINT or SIGTERM; the exit status.
int serve(datecs_sim::Simulator& sim, std::mutex& outMutex) {
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!sim.start()) {
    std::fprintf(stderr, "datecs-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  {
    std::lock_guard<std::mutex> lock(outMutex);
    std::cout << sim.slavePath() << std::endl;
  }
  while (!g_stop) pause();
  sim.stop();
  std::fprintf(stderr, "datecs-sim: %llu bytes received, %llu sent\n",
               static_cast<unsigned long long>(sim.bytesReceived()), static_cast<unsigned long long>(sim.bytesSent()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Setup setup;
  bool help = false;
  cli::Grammar grammar;
  grammar.options = optionTable(setup, help);
  cli::Outcome r = cli::read(argc, argv, grammar);
  if (help) {
    usage();
    return 0;
  }
  if (r.kind != cli::Outcome::Done) {
    std::fprintf(stderr, "datecs-sim: bad option %s\n", r.word.c_str());
    usage();
    return 2;
  }

  std::mutex outMutex;
  std::ofstream tapeFile;
  if (!setup.tapePath.empty()) {
    tapeFile.open(setup.tapePath, std::ios::app);
    if (!tapeFile) {
      std::fprintf(stderr, "datecs-sim: cannot open %s\n", setup.tapePath.c_str());
      return 1;
    }
  }
  setup.options.onTape = [&](const std::string& line) {
    std::lock_guard<std::mutex> lock(outMutex);
    if (tapeFile.is_open()) {
      tapeFile << line << '\n' << std::flush;
    } else {
      std::cout << line << '\n' << std::flush;
    }
  };

  datecs_sim::Simulator sim(setup.options);
  for (const auto& b : setup.busy) sim.setBusyMs(static_cast<uint8_t>(b.first), b.second);
  for (const auto& e : setup.errors) sim.setErrorFor(static_cast<uint8_t>(e.first), e.second);
  for (const auto& f : setup.faults) sim.inject(f);
  return serve(sim, outMutex);
}
