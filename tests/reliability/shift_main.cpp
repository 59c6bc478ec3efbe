// A cashier's shift through the binary interface against the simulator:
// connect, sell, pay, reports, a hostile answer, a silent printer,
// disconnect. Run under valgrind by scripts/test-memcheck; exits non-zero if
// a step does not do what it should.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "abihost/host.h"
#include "sim/simulator.h"

using abihost::Value;

namespace {

int failures = 0;

void expect(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "shift: %s failed\n", what);
    ++failures;
  }
}

Value T(const std::u16string& s) { return Value::text_(s); }

}  // namespace

int main(int argc, char** argv) {
  const char* libraryPath = argc > 1 ? argv[1] : OSTREL_TEST_LIBRARY;
  datecs_sim::Simulator sim;
  if (!sim.start()) {
    std::fprintf(stderr, "shift: the simulator did not start\n");
    return 2;
  }
  {
    auto library = std::make_shared<abihost::Library>(libraryPath);
    abihost::Component c(library);
    auto call = [&](const std::u16string& name, std::vector<Value> args, bool function) {
      long n = c.findMethod(name);
      return function ? c.callFunc(n, c.withDefaults(n, std::move(args)))
                      : c.callProc(n, c.withDefaults(n, std::move(args)));
    };

    expect(call(u"SetParameter", {T(u"Port"), T(abihost::fromUtf8(sim.slavePath()))}, true).ok, "SetParameter");
    auto open = call(u"Open", {T(u"")}, true);
    expect(open.ok && !open.args.empty() && !open.args[0].text.empty(), "Open");
    const std::u16string id = open.args.empty() ? u"" : open.args[0].text;

    expect(call(u"OpenShift", {T(id)}, true).ok, "OpenShift");
    for (int receipt = 0; receipt < 3; ++receipt) {
      expect(call(u"ProgramArticle", {T(u"482915"), T(u"7"), T(u"Хлеб")}, false).ok, "ProgramArticle");
      expect(call(u"BegFiscalReceipt", {}, false).ok, "BegFiscalReceipt");
      expect(call(u"SellArticul", {T(u"482915"), T(u"7"), T(u"2.000"), T(u"10.50")}, false).ok, "SellArticul");
      expect(call(u"TotalByCash", {T(u"482915"), T(u"21.00")}, false).ok, "TotalByCash");
      expect(call(u"CloseReceipt", {}, false).ok, "CloseReceipt");
    }
    expect(call(u"SumCash", {}, true).ok, "SumCash");
    expect(call(u"SumTradeF", {}, true).ok, "SumTradeF");

    // A hostile answer and a silent printer on the way.
    sim.inject(datecs_sim::Fault(datecs_sim::Fault::Oversized, 128));
    expect(call(u"IsRegExist", {}, true).ok, "IsRegExist (hostile answer)");
    for (int i = 0; i < 20; ++i) c.callFunc(c.findMethod(u"RetItem"), {T(u""), Value::i4(i)});
    sim.inject(datecs_sim::Fault(datecs_sim::Fault::Silence, 128));
    expect(call(u"IsRegExist", {}, true).ok, "IsRegExist (silence)");
    c.getProperty(u"ErrorDescription");

    expect(call(u"PrintXReport", {T(id)}, true).ok, "PrintXReport");
    expect(call(u"PrintZReport", {T(id)}, true).ok, "PrintZReport");
    expect(call(u"GetLastError", {T(u"")}, true).ok, "GetLastError");
    expect(call(u"Close", {T(id)}, true).ok, "Close");

    for (const auto& p : c.problems()) {
      std::fprintf(stderr, "shift: host-side problem: %s\n", p.c_str());
      ++failures;
    }
  }
  sim.stop();
  std::printf("shift: %s\n", failures ? "FAILED" : "done");
  return failures ? 1 : 0;
}
