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

}  // namespace

int main(int argc, char** argv) {
  datecs_sim::Options options;
  std::string tapePath;
  std::vector<datecs_sim::Fault> faults;
  std::vector<std::pair<int, std::string>> errors;
  std::vector<std::pair<int, int>> busy;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    datecs_sim::Fault f{datecs_sim::Fault::Silence};
    std::vector<int> nums;
    bool ok = true;
    if (a == "--help" || a == "-h") {
      usage();
      return 0;
    } else if (a == "--slow") {
      options.instant = false;
    } else if (!value(v)) {
      ok = false;
    } else if (a == "--link") {
      options.link = v;
    } else if (a == "--tape") {
      tapePath = v;
    } else if (a == "--baud") {
      int b = 0;
      ok = toInt(v, b) && b >= 0;
      options.baud = static_cast<uint32_t>(b);
    } else if (a == "--serial") {
      options.serial = v;
    } else if (a == "--default-code") {
      ok = v.size() == 4;
      options.defaultCode = v;
    } else if (a == "--busy") {
      auto p = parts(v);
      int cmd = 0, ms = 0;
      ok = p.size() == 2 && toInt(p[0], cmd) && toInt(p[1], ms);
      busy.emplace_back(cmd, ms);
    } else if (a == "--error") {
      auto p = parts(v);
      int cmd = 0, count = 0;
      ok = (p.size() == 2 || p.size() == 3) && toInt(p[0], cmd) && p[1].size() == 4;
      if (ok && p.size() == 3) {
        ok = toInt(p[2], count);
        f.kind = datecs_sim::Fault::ErrorCode;
        f.command = static_cast<uint8_t>(cmd);
        f.errorCode = p[1];
        f.count = count;
        faults.push_back(f);
      } else if (ok) {
        errors.emplace_back(cmd, p[1]);
      }
    } else if (a == "--silence" || a == "--nak" || a == "--junk" || a == "--hangup") {
      f.kind = a == "--silence" ? datecs_sim::Fault::Silence
               : a == "--nak"   ? datecs_sim::Fault::Nak
               : a == "--junk"  ? datecs_sim::Fault::JunkBefore
                                : datecs_sim::Fault::Hangup;
      ok = parseFaultArgs(v, 0, f, nums);
      faults.push_back(f);
    } else if (a == "--split") {
      f.kind = datecs_sim::Fault::Split;
      ok = parseFaultArgs(v, 2, f, nums);
      if (ok) f.pieces = nums[0], f.delayMs = nums[1];
      faults.push_back(f);
    } else if (a == "--syn-storm" || a == "--delay") {
      f.kind = a == "--delay" ? datecs_sim::Fault::Delay : datecs_sim::Fault::SynStorm;
      ok = parseFaultArgs(v, 1, f, nums);
      if (ok) f.delayMs = nums[0];
      faults.push_back(f);
    } else if (a == "--oversized") {
      f.kind = datecs_sim::Fault::Oversized;
      ok = parseFaultArgs(v, 2, f, nums);
      if (ok) f.fields = nums[0], f.fieldLength = nums[1];
      faults.push_back(f);
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "datecs-sim: bad option %s\n", a.c_str());
      usage();
      return 2;
    }
  }

  std::mutex outMutex;
  std::ofstream tapeFile;
  if (!tapePath.empty()) {
    tapeFile.open(tapePath, std::ios::app);
    if (!tapeFile) {
      std::fprintf(stderr, "datecs-sim: cannot open %s\n", tapePath.c_str());
      return 1;
    }
  }
  options.onTape = [&](const std::string& line) {
    std::lock_guard<std::mutex> lock(outMutex);
    if (tapeFile.is_open()) {
      tapeFile << line << '\n' << std::flush;
    } else {
      std::cout << line << '\n' << std::flush;
    }
  };

  datecs_sim::Simulator sim(options);
  for (const auto& b : busy) sim.setBusyMs(static_cast<uint8_t>(b.first), b.second);
  for (const auto& e : errors) sim.setErrorFor(static_cast<uint8_t>(e.first), e.second);
  for (const auto& f : faults) sim.inject(f);

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
