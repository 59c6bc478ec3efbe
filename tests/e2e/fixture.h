// A component loaded through its binary interface, wired to the printer
// simulator over a real pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "abihost/host.h"
#include "sim/simulator.h"

namespace e2e {

using abihost::Value;

inline Value T(const std::u16string& s) { return Value::text_(s); }
inline Value I(int32_t v) { return Value::i4(v); }

std::string utf8(const std::u16string& s);

class Printer : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads a library and brings a component up on it.
  std::unique_ptr<abihost::Component> newComponent(const char* path = OSTREL_TEST_LIBRARY);

  // Points the driver's Port setting at the simulator and connects;
  // returns the device identifier. Clears the simulator's request log.
  std::u16string connect(abihost::Component& component);
  std::u16string connect() { return connect(*c); }

  // Calls a method by name with the declared defaults filling missing
  // arguments, as the platform does.
  abihost::CallResult proc(const std::u16string& name, std::vector<Value> args = {});
  abihost::CallResult func(const std::u16string& name, std::vector<Value> args = {});

  Value prop(const std::u16string& name);
  std::u16string propText(const std::u16string& name);
  uint32_t propNumber(const std::u16string& name);

  std::vector<datecs_sim::Request> sent() { return sim.requests(); }
  // The last request the printer received.
  datecs_sim::Request lastSent();

  datecs_sim::Simulator sim;
  std::shared_ptr<abihost::Library> library;
  std::unique_ptr<abihost::Component> c;
};

}  // namespace e2e
