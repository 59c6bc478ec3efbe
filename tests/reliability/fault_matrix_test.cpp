// Every fault the simulator injects, against the built library through its
// binary interface: the state the call leaves behind, and that the next call
// works. The test build waits 400 ms of silence, not a minute.
#include <chrono>
#include <thread>

#include "../e2e/fixture.h"
#include "figures.h"

namespace e2e {
namespace {

using datecs_sim::Fault;
using Ms = std::chrono::milliseconds;

constexpr char16_t kTimeoutText[] = u"Неизвестная ошибка или таймаут регистратора";
constexpr int kSilenceLimitMs = 400;

enum class After {
  TimedOut,  // Counter 0, the time-out text, the previous answer's code kept
  Answered,  // the answer's own code and fields
};

struct FaultCase {
  const char* name;
  Fault fault;
  After after;
  const char* code;  // ErrorCode after the call
  int minFields;     // Counter at least (answered cases)
  int settleMs;      // time for a late answer to arrive before the next call
};

void PrintTo(const FaultCase& fc, std::ostream* os) { *os << fc.name; }

Fault make(Fault::Kind kind, void (*shape)(Fault&) = nullptr) {
  Fault f(kind, 128);
  if (shape) shape(f);
  return f;
}

// The status request (IsRegExist) carries each fault; the call before it
// left the code "0103", so a kept code is told from a replaced one.
const FaultCase kCases[] = {
    {"Silence", make(Fault::Silence), After::TimedOut, "0103", 0, 0},
    {"Nak", make(Fault::Nak), After::Answered, "0000", 9, 0},
    {"JunkBeforeTheFrame", make(Fault::JunkBefore), After::Answered, "0000", 9, 0},
    {"LongDelay", make(Fault::Delay, [](Fault& f) { f.delayMs = 2 * kSilenceLimitMs; }), After::TimedOut, "0103", 0,
     2 * kSilenceLimitMs},
    {"ShortDelay", make(Fault::Delay, [](Fault& f) { f.delayMs = kSilenceLimitMs / 2; }), After::Answered, "0000", 9, 0},
    // Each piece restarts the silence limit: four pieces 300 ms apart take
    // longer than one limit and still make an answer.
    {"SplitWithDelays", make(Fault::Split, [](Fault& f) {
       f.pieces = 4;
       f.delayMs = kSilenceLimitMs * 3 / 4;
     }), After::Answered, "0000", 9, 0},
    {"SplitBytewise", make(Fault::Split, [](Fault& f) {
       f.pieces = 1000;
       f.delayMs = 1;
     }), After::Answered, "0000", 9, 0},
    {"SynStormLongerThanTheLimit", make(Fault::SynStorm, [](Fault& f) { f.delayMs = 2 * kSilenceLimitMs; }),
     After::Answered, "0000", 9, 0},
    {"OversizedManyLongFields", make(Fault::Oversized), After::Answered, "0000", 20, 0},
    {"OversizedHugeField", make(Fault::Oversized, [](Fault& f) {
       f.fields = 2;
       f.fieldLength = 4000;
     }), After::Answered, "0000", 2, 0},
    {"OversizedJunkEndingIn03", make(Fault::Oversized, [](Fault& f) {
       f.bytes.assign(5000, 'x');
       f.bytes[0] = 0x01;
       f.bytes.back() = 0x03;
     }), After::Answered, "0000", 9, 0},
    {"KnownErrorCode", make(Fault::ErrorCode, [](Fault& f) { f.errorCode = "0105"; }), After::Answered, "0105", 0, 0},
    {"UnknownErrorCode", make(Fault::ErrorCode, [](Fault& f) { f.errorCode = "9999"; }), After::Answered, "9999", 0, 0},
    {"ErrorCodeOfLetters", make(Fault::ErrorCode, [](Fault& f) { f.errorCode = "ABCD"; }), After::Answered, "ABCD", 0, 0},
};

class FaultMatrix : public Printer, public ::testing::WithParamInterface<FaultCase> {
 protected:
  // IsRegExist in the function form: 1 when the printer answered.
  uint32_t statusRequest() {
    auto r = func(u"IsRegExist", {T(u"482915")});
    EXPECT_TRUE(r.ok);
    return static_cast<uint32_t>(r.result.integer);
  }

  void expectFieldsBounded() {
    uint32_t count = propNumber(u"Counter");
    EXPECT_LE(count, 20u);
    for (uint32_t i = 0; i < count; ++i) {
      auto item = func(u"RetItem", {T(u""), I(static_cast<int32_t>(i))});
      EXPECT_LE(item.result.text.size(), 149u) << "field " << i;
    }
  }
};

TEST_P(FaultMatrix, LeavesItsStateAndTheNextCallWorks) {
  const FaultCase& fc = GetParam();
  connect();
  // An answer with a code of its own first.
  sim.inject([] {
    Fault f(Fault::ErrorCode, 128);
    f.errorCode = "0103";
    return f;
  }());
  EXPECT_EQ(statusRequest(), 1u);
  ASSERT_EQ(utf8(propText(u"ErrorCode")), "0103");

  sim.inject(fc.fault);
  figures::faultInjected();
  auto start = std::chrono::steady_clock::now();
  uint32_t answered = statusRequest();
  auto took = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();

  EXPECT_EQ(utf8(propText(u"ErrorCode")), fc.code);
  if (fc.after == After::TimedOut) {
    EXPECT_EQ(answered, 0u);
    EXPECT_EQ(propNumber(u"Counter"), 0u);
    EXPECT_EQ(propText(u"ErrorDescription"), kTimeoutText);
    // Bounded: the silence limit and the time the fault took, not more.
    EXPECT_LT(took, kSilenceLimitMs + std::max(fc.settleMs, 0) + 1000);
  } else {
    EXPECT_EQ(answered, 1u);
    EXPECT_GE(propNumber(u"Counter"), static_cast<uint32_t>(fc.minFields));
    EXPECT_NE(propText(u"ErrorDescription"), u"");
    if (std::string(fc.code) == "0000" || std::string(fc.code) == "0105") {
      EXPECT_NE(propText(u"ErrorDescription"), kTimeoutText);
    }
    expectFieldsBounded();
  }

  // A late answer is left to arrive; then the link carries on.
  if (fc.settleMs) std::this_thread::sleep_for(Ms(fc.settleMs));
  EXPECT_EQ(statusRequest(), 1u);
  EXPECT_EQ(statusRequest(), 1u);
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0000");
  EXPECT_GE(propNumber(u"Counter"), 9u);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// The port vanishes mid-exchange: the call ends in the time-out state, and
// the next one ends at once in it instead of waiting out the silence limit.
TEST_F(Printer, HangUpMidExchangeEndsAtOnceAfterwards) {
  connect();
  sim.inject([] {
    Fault f(Fault::ErrorCode, 128);
    f.errorCode = "0103";
    return f;
  }());
  func(u"IsRegExist", {T(u"482915")});
  ASSERT_EQ(utf8(propText(u"ErrorCode")), "0103");

  sim.inject(Fault(Fault::Hangup, 128));
  figures::faultInjected();
  auto first = func(u"IsRegExist", {T(u"482915")});
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.result.integer, 0);
  EXPECT_EQ(propNumber(u"Counter"), 0u);
  EXPECT_EQ(propText(u"ErrorDescription"), kTimeoutText);
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0103");

  for (const char16_t* method : {u"IsRegExist", u"SumCash"}) {
    auto start = std::chrono::steady_clock::now();
    auto next = func(method, {T(u"482915")});
    auto took = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(next.ok) << utf8(method);
    EXPECT_LT(took, kSilenceLimitMs / 4) << utf8(method) << " waited on a dead port";
    EXPECT_EQ(propNumber(u"Counter"), 0u);
    EXPECT_EQ(propText(u"ErrorDescription"), kTimeoutText);
    EXPECT_EQ(utf8(propText(u"ErrorCode")), "0103");
  }
}

}  // namespace
}  // namespace e2e
