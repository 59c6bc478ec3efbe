// Shared set-up of the ABI tests: the two built libraries, loaded once, and a
// fixture whose component is created, given a memory manager and initialised,
// and which fails the test when the component misbehaved towards the host.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abihost/host.h"

namespace abitest {

using abihost::CallResult;
using abihost::Component;
using abihost::Library;
using abihost::RawVariant;
using abihost::Value;
namespace layout = abihost::layout;

// The product library (real waits) and the same sources with short waits.
std::shared_ptr<Library> productLibrary();
std::shared_ptr<Library> testLibrary();

inline std::string utf8(const std::u16string& s) { return abihost::toUtf8(s); }
// A name or text that may be missing, readable in failure messages.
inline std::string shown(const std::optional<std::u16string>& s) { return s ? utf8(*s) : std::string("<null>"); }

// Values read back in tests compare as text in failure messages.
inline Value text(const std::u16string& s) { return Value::text_(s); }

// Fails the test for every rule the component broke towards the host: texts
// from outside the memory manager, misuse of it, any call of the connection.
inline void expectNoProblems(const Component& component) {
  for (const std::string& p : component.problems()) ADD_FAILURE() << p;
}

class AbiTest : public ::testing::Test {
 protected:
  void SetUp() override { c = std::make_unique<Component>(productLibrary()); }
  void TearDown() override {
    if (c) expectNoProblems(*c);
  }

  // Reads a property that must be readable.
  Value prop(const std::u16string& name) {
    std::optional<Value> v = c->getProperty(name);
    EXPECT_TRUE(v.has_value()) << "property " << utf8(name) << " not delivered";
    return v.value_or(Value::empty());
  }

  long method(const std::u16string& name) {
    long n = c->findMethod(name);
    EXPECT_GE(n, 0) << utf8(name);
    return n;
  }

  std::unique_ptr<Component> c;
};

}  // namespace abitest
