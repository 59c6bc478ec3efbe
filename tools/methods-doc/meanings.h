// The meanings of the methods and properties: what the method table cannot
// say (what the printer does, what each parameter means, what a script reads
// afterwards, how a call fails), read from the checked-in text
// docs/methods/meanings.txt. The format is described at the top of that file.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel::methods_doc {

struct MethodMeaning {
  std::string name;  // the English name, as in the table
  int line = 0;      // where its entry starts
  std::string summary;
  std::vector<std::pair<std::string, std::string>> params;  // name, meaning, in the table's order
  std::string result;  // what the function form returns
  std::string reads;   // what a script reads afterwards
  std::string fails;   // how the call fails
};

struct PropertyMeaning {
  std::string name;
  int line = 0;
  std::string text;
};

struct Meanings {
  std::string intro;
  std::vector<MethodMeaning> methods;
  std::vector<PropertyMeaning> properties;
  // What could not be read, each with its line number.
  std::vector<std::string> problems;
};

Meanings ParseMeanings(std::string_view text);

// The checked-in meanings text, built into the program.
std::string_view BuiltInMeaningsText();

}  // namespace ostrel::methods_doc
