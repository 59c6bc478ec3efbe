// Writes the reference of the methods and properties (docs/methods.md) from
// the method table and the meanings.
//
//   methods-doc OUTPUT                  write the reference to OUTPUT
//   methods-doc OUTPUT --compare FILE   write it, then fail if FILE differs
//
// Fails (exit 1, nothing written) when the meanings do not cover the tables
// exactly.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "reference.h"

namespace {

constexpr const char* kRegenerate = "regenerate it with scripts/methods-doc (or: cmake --build BUILD --target methods-doc-update)";

bool readFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out = text.str();
  return true;
}

// The 1-based number of the first line where the two texts differ.
int firstDifference(const std::string& a, const std::string& b) {
  int line = 1;
  for (size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i) {
    if (a[i] == '\n') ++line;
  }
  return line;
}

int compare(const std::string& expected, const std::string& path) {
  std::string current;
  if (!readFile(path, current)) {
    std::cerr << "methods-doc: cannot read " << path << "; " << kRegenerate << "\n";
    return 1;
  }
  if (current == expected) return 0;
  std::cerr << "methods-doc: " << path << " is out of date with the method table and docs/methods/meanings.txt"
            << " (first difference at line " << firstDifference(current, expected) << "); " << kRegenerate << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--compare")) {
    std::cerr << "usage: methods-doc OUTPUT [--compare CHECKED_IN]\n";
    return 2;
  }
  const auto& reference = ostrel::methods_doc::Reference::builtIn();
  if (!reference.problems().empty()) {
    std::cerr << "methods-doc: docs/methods/meanings.txt does not fit the method table:\n";
    for (const std::string& problem : reference.problems()) std::cerr << "  " << problem << "\n";
    return 1;
  }
  std::string text = reference.renderDocument();
  std::ofstream out(argv[1], std::ios::binary);
  if (!(out << text) || !out.flush()) {
    std::cerr << "methods-doc: cannot write " << argv[1] << "\n";
    return 1;
  }
  return argc == 4 ? compare(text, argv[3]) : 0;
}
