// datecs-sim: a simulated Datecs fiscal printer on a pseudo-terminal.
// Prints the slave path on the first line of standard output, then serves
// until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <ctime>

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
               "  --hangup CMD               close the pty when CMD arrives\n"
               "An unreliable line (P: percent of the frames received, repeats too, 0 to 100;\n"
               "a later option overrides an earlier one):\n"
               "  --flip-request P           one bit of the request flipped (the printer NAKs it)\n"
               "  --flip-answer P            one bit of the answer flipped\n"
               "  --drop-request P           the request lost: not carried out, no answer\n"
               "  --drop-answer P            carried out, the answer lost\n"
               "  --nak P%%                   NAK instead of the answer, not carried out\n"
               "  --delay P%%                 the answer held back --delay-ms\n"
               "  --garbage P                junk bytes before the answer\n"
               "  --stale P                  the answer before the last one, ahead of the answer\n"
               "  --faults P                 every one of these at P\n"
               "  --delay-ms N               how long a delayed answer is held back (default 150)\n"
               "  --seed N                   seed of the random draws (default 1)\n"
               "  --remember SEQ|now[:CMD]   start as if the frame SEQ (32..126, or the byte a\n"
               "                             new component uses this second) of command CMD\n"
               "                             (default 128) was the last one served\n");
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

// A percentage of frames, "P" or "P%", 0 to 100.
bool toPercent(std::string s, double& out) {
  if (!s.empty() && s.back() == '%') s.pop_back();
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return *end == '\0' && out >= 0 && out <= 100;
}

// "SEQ[:CMD]" or "now[:CMD]": the frame the printer takes for the last one
// it served. "now" is the sequence byte a component created in this second
// starts with.
bool takeRemember(const std::string& v, datecs_sim::Options& o) {
  auto p = parts(v);
  int seq = 0, cmd = o.rememberCommand;
  if (p.size() > 2 || (p.size() == 2 && !toInt(p[1], cmd)) || cmd < 0 || cmd > 255) return false;
  if (p[0] == "now") {
    seq = datecs_sim::clockSequenceByte(static_cast<int64_t>(std::time(nullptr)));
  } else if (!toInt(p[0], seq) || seq < 0x20 || seq > 0x7E) {
    return false;
  }
  o.rememberSeq = seq;
  o.rememberCommand = static_cast<uint8_t>(cmd);
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

// A fault option: `numbers` values after CMD, stored by `store`. With
// `percent`, a value "P%" is instead the chance of that fault on the line.
cli::Option fault(const char* name, datecs_sim::Fault::Kind kind, int numbers, Setup& setup,
                  void (*store)(datecs_sim::Fault&, const std::vector<int>&) = nullptr, double* percent = nullptr) {
  return {name, "", true, [=, &setup](const std::string& v) {
            if (percent && !v.empty() && v.back() == '%') return toPercent(v, *percent);
            datecs_sim::Fault f{kind};
            std::vector<int> nums;
            bool ok = parseFaultArgs(v, numbers, f, nums);
            if (ok && store) store(f, nums);
            setup.faults.push_back(f);
            return ok;
          }};
}

// A line fault's chance: "P" or "P%".
cli::Option chance(const char* name, double& percent) {
  return {name, "", true, [&percent](const std::string& v) { return toPercent(v, percent); }};
}

// The unreliable line; --nak and --delay take a percentage in the fault
// options' table, where a value "P%" tells it from their CMD form.
std::vector<cli::Option> lineOptions(Setup& setup) {
  datecs_sim::Unreliable& u = setup.options.unreliable;
  return {
      chance("--flip-request", u.flipRequest),
      chance("--flip-answer", u.flipAnswer),
      chance("--drop-request", u.dropRequest),
      chance("--drop-answer", u.dropAnswer),
      chance("--garbage", u.garbage),
      chance("--stale", u.stale),
      {"--faults", "", true, [&u](const std::string& v) {
         double p = 0;
         if (!toPercent(v, p)) return false;
         u = datecs_sim::Unreliable::everyFault(p, u.seed, u.delayMs);
         return true;
       }},
      {"--delay-ms", "", true, [&u](const std::string& v) { return toInt(v, u.delayMs) && u.delayMs >= 0; }},
      {"--seed", "", true, [&u](const std::string& v) {
         int seed = 0;
         bool ok = toInt(v, seed) && seed >= 0;
         u.seed = static_cast<uint32_t>(seed);
         return ok;
       }},
      {"--remember", "", true, [&setup](const std::string& v) { return takeRemember(v, setup.options); }},
  };
}

std::vector<cli::Option> optionTable(Setup& setup, bool& help) {
  using F = datecs_sim::Fault;
  datecs_sim::Options& o = setup.options;
  datecs_sim::Unreliable& u = o.unreliable;
  auto delay = [](F& f, const std::vector<int>& n) { f.delayMs = n[0]; };
  std::vector<cli::Option> table = {
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
      fault("--nak", F::Nak, 0, setup, nullptr, &u.nak),
      fault("--junk", F::JunkBefore, 0, setup),
      fault("--hangup", F::Hangup, 0, setup),
      fault("--split", F::Split, 2, setup, [](F& f, const std::vector<int>& n) { f.pieces = n[0], f.delayMs = n[1]; }),
      fault("--syn-storm", F::SynStorm, 1, setup, delay),
      fault("--delay", F::Delay, 1, setup, delay, &u.delay),
      fault("--oversized", F::Oversized, 2, setup,
            [](F& f, const std::vector<int>& n) { f.fields = n[0], f.fieldLength = n[1]; }),
  };
  for (cli::Option& line : lineOptions(setup)) table.push_back(std::move(line));
  return table;
}

// The faults that took effect and the repeats the printer answered from
// memory, on standard error when the program ends.
void reportFaults(const datecs_sim::Simulator& sim) {
  using F = datecs_sim::Fault;
  const std::pair<F::Kind, const char*> kinds[] = {
      {F::FlipRequest, "flip-request"}, {F::FlipAnswer, "flip-answer"}, {F::DropRequest, "drop-request"},
      {F::DropAnswer, "drop-answer"},   {F::Nak, "nak"},                {F::Delay, "delay"},
      {F::JunkBefore, "garbage"},       {F::Stale, "stale"},            {F::Silence, "silence"},
  };
  std::string line;
  for (const auto& [kind, name] : kinds)
    line += std::string(line.empty() ? "" : ", ") + name + " " + std::to_string(sim.injected(kind));
  std::fprintf(stderr, "datecs-sim: faults: %s; repeats answered from memory %llu\n", line.c_str(),
               static_cast<unsigned long long>(sim.repeats()));
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
  reportFaults(sim);
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
