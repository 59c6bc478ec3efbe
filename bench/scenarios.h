// The four measurements. Each fills rows of the report: a figure, what was
// measured, the goal, and whether it was met.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Settings {
  bool quick = false;
  std::string library;  // the component under test
  std::string self;     // this program, for the memory run in a child process
};

struct Row {
  std::string figure;
  std::string measured;
  std::string goal;
  std::string verdict;  // "met", "missed", "-" (no goal)
};

struct Report {
  std::vector<Row> rows;
  std::vector<std::string> notes;  // details printed under the table
  void add(std::string figure, std::string measured, std::string goal, std::string verdict) {
    rows.push_back({std::move(figure), std::move(measured), std::move(goal), std::move(verdict)});
  }
};

void exchangeOverhead(const Settings& s, Report& r);
void cpuWhileWaiting(const Settings& s, Report& r);
void receipts(const Settings& s, Report& r);
void memory(const Settings& s, Report& r);

// The host side of the memory run, in its own process: runs `count`
// receipts against a simulator in a further process and prints its resident
// memory after each sample point. Returns the exit code.
int memoryChild(const std::string& library, int count);

}  // namespace bench
