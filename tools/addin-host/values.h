// Typed arguments of addin-host: how a word of a command line or a scenario
// line becomes a value passed to the component, and how values are printed.
#pragma once

#include <string>
#include <vector>

#include "abihost/value.h"

namespace addinhost {

// One argument as written.
struct Arg {
  enum Kind {
    Given,    // a value, passed as it is
    Default,  // "_": the declared default (or EMPTY when there is none)
    Capture,  // ">name": EMPTY is passed, the value the call leaves is kept as $name
    Variable  // "$name": a value kept earlier
  };
  Kind kind = Given;
  abihost::Value value;
  std::string name;
};

// Parses one argument word. Returns false with a message on a malformed word.
bool parseArg(const std::string& word, Arg& out, std::string& error);

// Splits a scenario line into words: blanks separate words, a double-quoted
// part keeps its blanks (the quotes and escapes stay in the word for
// parseArg), and a '#' at the start of a word outside quotes begins a comment.
bool splitWords(const std::string& line, std::vector<std::string>& words, std::string& error);

// A value as addin-host prints it, in the same syntax parseArg reads where
// the type allows: "text", 12, 1.5, true, date:2024-01-31T10:00:00, ui4:5.
std::string formatValue(const abihost::Value& v);

// A text in double quotes with \" \\ \n \t \r escapes.
std::string quote(const std::string& utf8);

// OLE automation dates (days since 1899-12-30) to and from
// YYYY-MM-DD[THH:MM:SS].
bool parseDate(const std::string& text, double& days);
std::string formatDate(double days);

// The argument syntax for --help.
extern const char kArgumentSyntax[];

}  // namespace addinhost
