// The measurements. Each fills rows of the report: a figure, what was
// measured, the goal, and whether it was met.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct Settings {
  bool quick = false;
  std::string library;      // the component under test
  std::string self;         // this program, for the memory run in a child process
  std::string soakProgram;  // reliability_tests, whose soak runs with a longer day
  // The Windows side: the wait_cpu host, the DLL and the wine prefix it runs
  // in; empty when not built.
  std::string windowsHost, windowsLibrary, winePrefix;
};

struct Row {
  std::string figure;
  std::string measured;
  std::string goal;
  std::string verdict;   // "met", "missed", "-" (no goal)
  bool checked = false;  // a missed goal fails the run (goals the machine's load cannot move)
};

struct Report {
  std::vector<Row> rows;
  std::vector<std::string> notes;  // details printed under the table
  void add(std::string figure, std::string measured, std::string goal, std::string verdict, bool checked = false) {
    rows.push_back({std::move(figure), std::move(measured), std::move(goal), std::move(verdict), checked});
  }
};

inline std::string fmt(const char* format, double a, double b = 0, double c = 0, double d = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, format, a, b, c, d);
  return buf;
}

inline double percentile(std::vector<int64_t> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
  return static_cast<double>(v[i]);
}

inline double median(const std::vector<int64_t>& v) { return percentile(v, 0.5); }

void exchangeOverhead(const Settings& s, Report& r);
void cpuWhileWaiting(const Settings& s, Report& r);
void receipts(const Settings& s, Report& r);
void memory(const Settings& s, Report& r);
void lostAnswer(const Settings& s, Report& r);
void soak(const Settings& s, Report& r);
// A host process waiting 1 s for a silent printer: the Linux library, and
// the Windows DLL under wine.
void silentWaitLinux(const Settings& s, Report& r);
void silentWaitWine(const Settings& s, Report& r);

// The host side of the memory run, in its own process: runs `count`
// receipts against a simulator in a further process and prints its resident
// memory after each sample point. Returns the exit code.
int memoryChild(const std::string& library, int count);

}  // namespace bench
