#include "fixture.h"

namespace e2e {

std::string utf8(const std::u16string& s) { return abihost::toUtf8(s); }

void Printer::SetUp() {
  ASSERT_TRUE(sim.start());
  c = newComponent();
}

void Printer::TearDown() {
  if (c) {
    auto problems = c->problems();
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front());
  }
  c.reset();
  sim.stop();
}

std::unique_ptr<abihost::Component> Printer::newComponent(const char* path) {
  library = std::make_shared<abihost::Library>(path);
  return std::make_unique<abihost::Component>(library);
}

std::u16string Printer::connect(abihost::Component& component) {
  std::u16string path = abihost::fromUtf8(sim.slavePath());
  auto set = component.callFunc(u"SetParameter", {T(u"Port"), T(path)});
  EXPECT_TRUE(set.ok);
  auto open = component.callFunc(u"Open", {T(u"")});
  EXPECT_TRUE(open.ok) << "Open on " << sim.slavePath();
  sim.clearRequests();
  return open.args.empty() ? u"" : open.args[0].text;
}

abihost::CallResult Printer::proc(const std::u16string& name, std::vector<Value> args) {
  long n = c->findMethod(name);
  EXPECT_GE(n, 0) << utf8(name);
  return c->callProc(n, c->withDefaults(n, std::move(args)));
}

abihost::CallResult Printer::func(const std::u16string& name, std::vector<Value> args) {
  long n = c->findMethod(name);
  EXPECT_GE(n, 0) << utf8(name);
  return c->callFunc(n, c->withDefaults(n, std::move(args)));
}

Value Printer::prop(const std::u16string& name) {
  auto v = c->getProperty(name);
  EXPECT_TRUE(v.has_value()) << utf8(name);
  return v ? *v : Value::empty();
}

std::u16string Printer::propText(const std::u16string& name) { return prop(name).text; }

uint32_t Printer::propNumber(const std::u16string& name) {
  Value v = prop(name);
  return v.type == abihost::layout::VT_BOOL ? v.boolean : static_cast<uint32_t>(v.integer);
}

datecs_sim::Request Printer::lastSent() {
  auto all = sent();
  EXPECT_FALSE(all.empty());
  return all.empty() ? datecs_sim::Request{} : all.back();
}

}  // namespace e2e
