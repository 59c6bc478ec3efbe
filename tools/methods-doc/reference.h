// The reference of the component's methods and properties: the method and
// property tables (names, forms, typed parameters with their defaults, the
// command a row sends and its data field) merged with their meanings, as
// Markdown. docs/methods.md is renderDocument() of the built-in meanings;
// a host shows renderMethod() for one method, the same text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "meanings.h"

namespace ostrel::methods_doc {

class Reference {
 public:
  explicit Reference(std::string_view meaningsText);
  // The checked-in meanings.
  static const Reference& builtIn();

  // Empty when the meanings read cleanly and cover the tables exactly: every
  // method and property has one entry, every entry names one of the table,
  // each method's entry gives as many parameters as its row declares.
  const std::vector<std::string>& problems() const { return problems_; }

  // The section of method `number` (0 to methodCount() - 1).
  std::string renderMethod(int number) const;
  std::string renderProperty(int number) const;
  std::string renderDocument() const;

 private:
  const MethodMeaning* methodMeaning(int number) const;
  const PropertyMeaning* propertyMeaning(int number) const;
  void check();
  std::string expand(const std::string& text) const;
  std::string renderIndex() const;
  std::string renderSharedNames() const;

  Meanings meanings_;
  std::vector<std::string> problems_;
};

// The built-in reference's section of one method; what `addin-host methods
// NAME` prints.
inline std::string renderMethod(int number) { return Reference::builtIn().renderMethod(number); }
inline std::string renderDocument() { return Reference::builtIn().renderDocument(); }

}  // namespace ostrel::methods_doc
