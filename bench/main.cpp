// ostrel_bench: runs the benchmarks and prints their figures as a Markdown
// table with the details under it.
//
//   ostrel_bench [--quick] [--only exchange,cpu,receipts,memory,lost-answer,soak]
//                [--library PATH] [--out FILE]
//                [--windows-host EXE --windows-library DLL --wine-prefix DIR]
//
// Exits 1 when a measurement could not run or a checked goal was missed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "scenarios.h"
#include "tools/cli/options.h"

namespace {

std::string selfPath(const char* argv0) {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return argv0;
  buf[n] = 0;
  return buf;
}

bool wanted(const std::string& only, const char* name) {
  if (only.empty()) return true;
  std::stringstream list(only);
  std::string item;
  while (std::getline(list, item, ','))
    if (item == name) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  bench::Settings settings;
  settings.library = OSTREL_PRODUCT_LIBRARY;
  settings.self = selfPath(argv[0]);
  settings.soakProgram = OSTREL_RELIABILITY_TESTS;
  std::string only, out;
  int memoryChild = -1;
  cli::Grammar grammar;
  grammar.options = {
      {"--quick", "", false, [&](const std::string&) { return settings.quick = true; }},
      {"--only", "", true, [&](const std::string& v) { return only = v, true; }},
      {"--library", "", true, [&](const std::string& v) { return settings.library = v, true; }},
      {"--out", "", true, [&](const std::string& v) { return out = v, true; }},
      {"--windows-host", "", true, [&](const std::string& v) { return settings.windowsHost = v, true; }},
      {"--windows-library", "", true, [&](const std::string& v) { return settings.windowsLibrary = v, true; }},
      {"--wine-prefix", "", true, [&](const std::string& v) { return settings.winePrefix = v, true; }},
      {"--memory-child", "", true, [&](const std::string& v) { return memoryChild = std::atoi(v.c_str()), true; }},
  };
  const cli::Outcome parsed = cli::read(argc, argv, grammar);
  if (parsed.kind == cli::Outcome::MissingValue) {
    std::fprintf(stderr, "%s needs a value\n", parsed.word.c_str());
    return 2;
  }
  if (parsed.kind != cli::Outcome::Done) {
    std::fprintf(stderr,
                 "usage: ostrel_bench [--quick] [--only exchange,cpu,receipts,memory,lost-answer,soak] [--library PATH] "
                 "[--out FILE] [--windows-host EXE --windows-library DLL --wine-prefix DIR]\n");
    return 2;
  }
  if (memoryChild >= 0) return bench::memoryChild(settings.library, memoryChild);

  bench::Report report;
  struct Step {
    const char* name;
    void (*run)(const bench::Settings&, bench::Report&);
  };
  const Step steps[] = {{"exchange", bench::exchangeOverhead},
                        {"cpu", bench::cpuWhileWaiting},
                        {"cpu", bench::silentWaitLinux},
                        {"cpu", bench::silentWaitWine},
                        {"receipts", bench::receipts},
                        {"memory", bench::memory},
                        {"lost-answer", bench::lostAnswer},
                        {"soak", bench::soak}};
  bool failed = false;
  for (const Step& step : steps) {
    if (!wanted(only, step.name)) continue;
    std::fprintf(stderr, "== %s\n", step.name);
    try {
      step.run(settings, report);
    } catch (const std::exception& e) {
      report.notes.push_back(std::string(step.name) + ": failed: " + e.what());
      failed = true;
    }
  }

  std::ostringstream md;
  md << "| Figure | Measured | Goal | |\n| --- | --- | --- | --- |\n";
  for (const auto& row : report.rows)
    md << "| " << row.figure << " | " << row.measured << " | " << row.goal << " | " << row.verdict << " |\n";
  md << "\n";
  for (const auto& note : report.notes) md << "- " << note << "\n";
  for (const auto& row : report.rows)
    if (row.checked && row.verdict == "missed") {
      std::fprintf(stderr, "ostrel_bench: goal missed: %s\n", row.figure.c_str());
      failed = true;
    }
  std::cout << md.str();
  if (!out.empty()) std::ofstream(out) << md.str();
  return failed ? 1 : 0;
}
