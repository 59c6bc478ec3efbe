// The command-line reader the programs share (header only, so every
// program can include it without a library): options from a table, each
// with the code that takes it, and the remaining words as operands.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace cli {

struct Option {
  std::string name;   // "--lib"
  std::string alias;  // "-h", or empty
  bool takesValue = false;
  // Takes the option's value (empty for a flag); false when it is not a
  // value this option accepts.
  std::function<bool(const std::string& value)> take;
  // Reading stops right after this option (--help).
  bool stops = false;
};

struct Outcome {
  enum Kind {
    Done,          // every word read
    Stopped,       // an option with `stops` was read
    Unknown,       // `word` is no option of the table (or an operand where none are taken)
    MissingValue,  // `word` wants a value and is the last word
    BadValue       // `word`'s value was refused
  };
  Kind kind = Done;
  std::string word;  // the option concerned
  std::string value;
};

struct Grammar {
  std::vector<Option> options;
  // Where operands go; null when the program takes none.
  std::vector<std::string>* operands = nullptr;
  // When the first operand is this word, every later word is an operand too.
  std::string verbatimAfter;
};

namespace detail {

inline const Option* find(const Grammar& g, const std::string& word) {
  for (const Option& o : g.options)
    if (word == o.name || (!o.alias.empty() && word == o.alias)) return &o;
  return nullptr;
}

inline bool isOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

}  // namespace detail

inline Outcome read(int argc, char** argv, const Grammar& g) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    std::vector<std::string>* operands = g.operands;
    if (operands && !operands->empty() && !g.verbatimAfter.empty() && (*operands)[0] == g.verbatimAfter) {
      operands->push_back(word);
      continue;
    }
    const Option* o = detail::find(g, word);
    if (!o) {
      if (detail::isOption(word) || !operands) return {Outcome::Unknown, word, {}};
      operands->push_back(word);
      continue;
    }
    std::string value;
    if (o->takesValue) {
      if (i + 1 >= argc) return {Outcome::MissingValue, word, {}};
      value = argv[++i];
    }
    if (o->take && !o->take(value)) return {Outcome::BadValue, word, value};
    if (o->stops) return {Outcome::Stopped, word, {}};
  }
  return {};
}

}  // namespace cli
