// The reference refuses meanings that do not fit the method table, and shows
// what only the table knows.
#include <gtest/gtest.h>

#include <string>

#include "addin/registry.h"
#include "reference.h"

namespace ostrel::methods_doc {
namespace {

std::string builtIn() { return std::string(BuiltInMeaningsText()); }

// The built-in text with the first occurrence of `from` replaced by `to`.
std::string edited(const std::string& from, const std::string& to) {
  std::string text = builtIn();
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

bool mentions(const std::vector<std::string>& problems, const std::string& what) {
  for (const std::string& p : problems) {
    if (p.find(what) != std::string::npos) return true;
  }
  return false;
}

TEST(MethodsReference, BuiltInMeaningsFitTheTable) {
  const auto& problems = Reference::builtIn().problems();
  std::string all;
  for (const std::string& p : problems) all += p + "\n";
  EXPECT_TRUE(problems.empty()) << all;
}

struct MisfitCase {
  const char* name;
  std::string from, to;
  std::string problem;
};

TEST(MethodsReference, MisfitsAreNamed) {
  const MisfitCase cases[] = {
      {"method without entry", "method SellArticul\n", "method NoSuchArticul\n", "method 16 SellArticul has no meaning entry"},
      {"entry not in the table", "method SellArticul\n", "method NoSuchArticul\n", "method NoSuchArticul is not in the table"},
      {"entry in the wrong case", "method ClosePort\n", "method closeport\n", "method closeport is not in the table"},
      {"too few parameters", "param price: The unit price, as text with two decimals, for example \"12.50\"; passed through.\n", "",
       "SellArticul gives 3 parameters, the table declares 4"},
      {"too many parameters", "method ClosePort\n", "method ClosePort\nparam extra: x\n",
       "ClosePort gives 1 parameters, the table declares 0"},
      {"second entry", "method ClosePort\n", "method OpenPort\n  again\nmethod ClosePort\n", "method OpenPort has a second entry"},
      {"property without entry", "property Baud\n", "property Speed\n", "property 1 Baud has no meaning entry"},
      {"property not in the table", "property Baud\n", "property Speed\n", "property Speed is not in the table"},
      {"function without result", "result: 1 when the printer answered", "reads: 1 when the printer answered",
       "IsRegExist returns a value but its entry has no result"},
      {"unknown command name", "{cmd:status}", "{cmd:state}", "unknown token {cmd:state}"},
      {"unknown key", "reads: `ErrorCode`, `ShiftStatus`.", "answer: `ErrorCode`.", "unknown key \"answer\""},
  };
  for (const MisfitCase& c : cases) {
    Reference reference(edited(c.from, c.to));
    EXPECT_TRUE(mentions(reference.problems(), c.problem)) << c.name;
  }
}

TEST(MethodsReference, SectionShowsTheRowsCommandAndDataField) {
  std::string text = Reference::builtIn().renderMethod(10);  // BegFiscalReceipt
  EXPECT_NE(text.find("command 99 (open receipt)"), std::string::npos) << text;
  EXPECT_NE(text.find("`<password>;<operator>;<number>;0;`"), std::string::npos) << text;
  EXPECT_NE(text.find("`\"482915\"`"), std::string::npos) << text;
}

TEST(MethodsReference, SecondOwnerOfARussianNameIsToldToUseItsEnglishName) {
  for (int number : {47, 70}) {
    std::string text = Reference::builtIn().renderMethod(number);
    std::string english(methodDef(number).english, methodDef(number).english + std::char_traits<char16_t>::length(methodDef(number).english));
    EXPECT_NE(text.find("call this method by its English name `" + std::string(english.begin(), english.end()) + "`"),
              std::string::npos)
        << text;
  }
  std::string document = Reference::builtIn().renderDocument();
  EXPECT_NE(document.find("A lookup by the name finds `CloseReceipt`; call `CloseCheck` by its English name"),
            std::string::npos);
  EXPECT_NE(document.find("A lookup by the name finds `GetParameters`; call `GetCommandParams` by its English name"),
            std::string::npos);
}

}  // namespace
}  // namespace ostrel::methods_doc
