// A working day through a line that spoils frames: every line fault of the
// simulator drawn at random for every frame. The same day on a clean line is
// the reference: the tape and the money counters must come out identical,
// with no line lost, doubled or changed, and every call must end with the
// printer's answer within what the resends allow.
//
// OSTREL_SOAK_RECEIPTS sets the number of receipts (12 by default, a few
// seconds), OSTREL_SOAK_PERCENT the chance of each fault per frame (2 by
// default), OSTREL_SOAK_SEED the random seed. The run prints its figures.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../e2e/fixture.h"
#include "figures.h"

namespace e2e {
namespace {

using Ms = std::chrono::milliseconds;
using datecs_sim::Fault;

// The test build waits 40 ms of quiet before a resend and resends at most
// 6 times; an answer the simulator delays is held back 150 ms.
constexpr int kResendIntervalMs = 40;
constexpr int kMaxResends = 6;
constexpr int kDelayMs = 150;
// A call sends at most three frames (the payments: status, total, payment).
constexpr long kCallBoundMs = 3L * (kMaxResends + 1) * (kResendIntervalMs + kDelayMs);

double envNumber(const char* name, double fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::atof(text) : fallback;
}

struct Day {
  int receipts = 0, cashIns = 0, cashOuts = 0, reports = 0, calls = 0;
  long longestCallMs = 0;
  long totalMs = 0;
  int failures = 0;
};

// One component on one simulator, driven through the binary interface.
class Till {
 public:
  Till(datecs_sim::Simulator& sim, std::unique_ptr<abihost::Component> component)
      : sim_(sim), c_(std::move(component)) {}

  bool connect() {
    auto set = c_->callFunc(u"SetParameter", {T(u"Port"), T(abihost::fromUtf8(sim_.slavePath()))});
    return set.ok && c_->callFunc(u"Open", {T(u"")}).ok;
  }

  // One call, which must end with the printer's "no error" in time.
  void call(const std::u16string& name, std::vector<Value> args = {}) {
    const long n = c_->findMethod(name);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = c_->callProc(n, c_->withDefaults(n, std::move(args))).ok;
    const long took = static_cast<long>(
        std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count());
    day_.longestCallMs = std::max(day_.longestCallMs, took);
    ++day_.calls;
    const std::string code = utf8(c_->getProperty(u"ErrorCode")->text);
    const std::string text = utf8(c_->getProperty(u"ErrorDescription")->text);
    if (!ok || code != "0000" || text != "Нет ошибки" || took > kCallBoundMs) {
      ++day_.failures;
      ADD_FAILURE() << utf8(name) << " call " << day_.calls << ": ok " << ok << ", code " << code << ", " << text
                    << ", " << took << " ms";
    }
  }

  void receipt() {
    call(u"BegFiscalReceipt");
    call(u"SellArticul", {T(u"482915"), T(u"1"), T(u"1.000"), T(u"1.10")});
    call(u"SellArticul", {T(u"482915"), T(u"2"), T(u"2.000"), T(u"2.20")});
    call(u"SellArticul", {T(u"482915"), T(u"3"), T(u"1.000"), T(u"3.30")});
    call(u"DiscountAbsArt", {T(u"482915"), T(u"0.10")});
    call(u"PrintTotal");
    call(u"TotalByCash", {T(u"482915"), T(u"5.00")});
    call(u"TotalByCard", {T(u"482915"), I(0), T(u"3.70"), T(u"")});
    call(u"CloseReceipt");
    ++day_.receipts;
  }

  void serviceCash(const std::u16string& amount) {
    call(u"OpenCashReceipt");
    call(u"ServCashInOut", {T(u"482915"), T(amount)});
    call(u"CloseReceipt");
  }

  Day run(int receipts) {
    const auto start = std::chrono::steady_clock::now();
    call(u"ProgramArticle", {T(u"482915"), T(u"1"), T(u"Tea")});
    call(u"ProgramArticle", {T(u"482915"), T(u"2"), T(u"Bread")});
    call(u"ProgramArticle", {T(u"482915"), T(u"3"), T(u"Milk")});
    for (int i = 0; i < receipts && day_.failures < 5; ++i) {
      if (i % 5 == 0) {
        serviceCash(u"10.00");
        ++day_.cashIns;
      }
      receipt();
      if (i % 5 == 4) {
        serviceCash(u"-4.00");
        ++day_.cashOuts;
      }
      if (i % 10 == 9) {
        call(u"PrintXReportL");
        ++day_.reports;
      }
    }
    call(u"PrintXReportL");
    ++day_.reports;
    day_.totalMs = static_cast<long>(
        std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count());
    return day_;
  }

 private:
  datecs_sim::Simulator& sim_;
  std::unique_ptr<abihost::Component> c_;
  Day day_;
};

TEST_F(Printer, SoakThroughAnUnreliableLineLosesNothing) {
  const int receipts = static_cast<int>(envNumber("OSTREL_SOAK_RECEIPTS", 12));
  const double percent = envNumber("OSTREL_SOAK_PERCENT", 2);
  const auto seed = static_cast<uint32_t>(envNumber("OSTREL_SOAK_SEED", 13));

  // The reference: the same day on a clean line.
  datecs_sim::Simulator cleanSim;
  ASSERT_TRUE(cleanSim.start());
  Till clean(cleanSim, newComponent());
  ASSERT_TRUE(clean.connect());
  const Day reference = clean.run(receipts);
  ASSERT_EQ(reference.failures, 0);

  sim.setUnreliable(datecs_sim::Unreliable::everyFault(percent, seed, kDelayMs));
  Till till(sim, newComponent());
  ASSERT_TRUE(till.connect());
  const Day day = till.run(receipts);
  EXPECT_EQ(day.failures, 0);

  // Exactly what the scenario asked: 8.70 sold per receipt (1.10 + 4.40 +
  // 3.30 - 0.10 discount), 10.00 in and 4.00 out on the service receipts.
  const auto state = sim.state();
  EXPECT_EQ(state.sales, 870LL * receipts);
  EXPECT_EQ(state.deposits, 1000LL * day.cashIns);
  EXPECT_EQ(state.withdrawals, 400LL * day.cashOuts);
  const auto expected = cleanSim.state();
  EXPECT_EQ(state.cash, expected.cash);
  EXPECT_EQ(state.lastReceipt, expected.lastReceipt);
  EXPECT_EQ(state.receipt, datecs_sim::ReceiptKind::None);
  EXPECT_TRUE(sim.tape() == cleanSim.tape()) << "the tape differs from the clean line's";
  EXPECT_EQ(sim.tape().size(), cleanSim.tape().size());

  uint64_t faults = 0;
  std::string byKind;
  const std::pair<Fault::Kind, const char*> kinds[] = {
      {Fault::FlipRequest, "flip-request"}, {Fault::FlipAnswer, "flip-answer"},
      {Fault::DropRequest, "drop-request"}, {Fault::DropAnswer, "drop-answer"},
      {Fault::Nak, "nak"},                  {Fault::Delay, "delay"},
      {Fault::JunkBefore, "garbage"},       {Fault::Stale, "stale"},
  };
  for (const auto& [kind, name] : kinds) {
    faults += sim.injected(kind);
    byKind += std::string(" ") + name + " " + std::to_string(sim.injected(kind));
  }
  figures::faults() += faults;
  std::printf(
      "soak: %d receipts, %d cash in, %d cash out, %d X reports, %d calls; %.1f%% per fault; %llu faults (%s), "
      "%llu resends seen by the printer; clean %ld ms, unreliable %ld ms (%.1f ms a receipt more); longest call "
      "%ld ms (clean %ld ms, bound %ld ms)\n",
      day.receipts, day.cashIns, day.cashOuts, day.reports, day.calls, percent,
      static_cast<unsigned long long>(faults), byKind.c_str() + 1, static_cast<unsigned long long>(sim.repeats()),
      reference.totalMs, day.totalMs,
      receipts ? static_cast<double>(day.totalMs - reference.totalMs) / receipts : 0.0, day.longestCallMs,
      reference.longestCallMs, kCallBoundMs);
  cleanSim.stop();
}

// The product library, whose resend interval is a second: a status request
// whose answer is lost comes back in the interval and the frames' line time.
TEST(LostAnswer, IsRecoveredInTheResendIntervalAndTheLineTime) {
  for (const uint32_t baud : {9600u, 115200u}) {
    SCOPED_TRACE(baud);
    datecs_sim::Options options;
    options.baud = baud;
    datecs_sim::Simulator printer(options);
    ASSERT_TRUE(printer.start());
    auto library = std::make_shared<abihost::Library>(OSTREL_PRODUCT_LIBRARY);
    abihost::Component c(library);
    ASSERT_TRUE(c.callFunc(u"SetParameter", {T(u"Port"), T(abihost::fromUtf8(printer.slavePath()))}).ok);
    ASSERT_TRUE(c.callFunc(u"Open", {T(u"")}).ok);
    auto timed = [&] {
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(c.callFunc(u"IsRegExist", {T(u"482915")}).result.integer, 1);
      return static_cast<long>(std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count());
    };
    const long clean = timed();
    printer.inject(Fault(Fault::DropAnswer, 128));
    const long recovered = timed();
    EXPECT_EQ(printer.injected(Fault::DropAnswer), 1u);
    EXPECT_EQ(printer.repeats(), 1u);
    EXPECT_GE(recovered, 1000);
    EXPECT_LT(recovered, 1500);
    std::printf("lost answer at %u baud: recovered in %ld ms (clean exchange %ld ms)\n", baud, recovered, clean);
    printer.stop();
  }
}

}  // namespace
}  // namespace e2e
