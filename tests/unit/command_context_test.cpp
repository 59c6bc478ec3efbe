// Methods driven through the command context alone: a fake printer behind
// the injected port factory, a fake clock, and a call made of plain values.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "addin/registry.h"
#include "command/context.h"
#include "fakes.h"
#include "sim/frame.h"

namespace ostrel {
namespace {

using testing::FakeClock;

// A printer as the line shows it: it runs each new frame and answers a frame
// whose sequence byte equals the last one it served from memory.
struct FakePrinter {
  struct Run {
    uint8_t seq;
    uint8_t command;
    std::string data;
  };
  std::vector<Run> runs;     // the commands it ran, in order
  std::vector<Run> frames;   // every frame it received
  bool silent = false;
  std::deque<uint8_t> output;
  uint8_t lastSeq = 0;
  std::vector<uint8_t> lastAnswer;
  datecs_sim::FrameDecoder decoder;

  void receive(const uint8_t* bytes, size_t size) {
    std::vector<datecs_sim::FrameDecoder::Event> events;
    decoder.feed(bytes, size, events);
    for (const auto& e : events) {
      if (e.bad) continue;
      const datecs_sim::Request& r = e.request;
      frames.push_back({r.seq, r.command, r.data});
      if (silent) continue;
      if (lastAnswer.empty() || r.seq != lastSeq) {
        runs.push_back({r.seq, r.command, r.data});
        lastSeq = r.seq;
        lastAnswer = datecs_sim::encodeAnswer(r.seq, r.command, "0000", {std::to_string(runs.size())}, {});
      }
      output.insert(output.end(), lastAnswer.begin(), lastAnswer.end());
    }
  }
};

class FakePort : public testing::OpenFlagPort {
 public:
  FakePort(FakePrinter& printer, FakeClock& clock) : printer_(printer), clock_(clock) {}
  bool writeAll(const uint8_t* data, size_t size) override {
    if (!open_) return false;
    printer_.receive(data, size);
    return true;
  }
  int readSome(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override {
    if (!open_) return -1;
    if (printer_.output.empty()) {
      clock_.now += timeoutMs;
      return 0;
    }
    size_t n = 0;
    while (n < capacity && !printer_.output.empty()) {
      buffer[n++] = printer_.output.front();
      printer_.output.pop_front();
    }
    return static_cast<int>(n);
  }

 private:
  FakePrinter& printer_;
  FakeClock& clock_;
};

// A call made of plain values: texts, integers and reals.
class ValuesCall : public Call {
 public:
  using Arg = std::variant<std::u16string, int32_t, double>;
  explicit ValuesCall(std::vector<Arg> args) : args_(std::move(args)) {}

  bool isFunction() const override { return false; }
  long count() const override { return static_cast<long>(args_.size()); }
  Kind kind(int i) const override {
    if (!has(i)) return Kind::Missing;
    return std::holds_alternative<std::u16string>(args_[i]) ? Kind::Text : Kind::Number;
  }
  bool text(int i, std::u16string& out) const override {
    if (!has(i) || !std::holds_alternative<std::u16string>(args_[i])) return false;
    out = std::get<std::u16string>(args_[i]);
    return true;
  }
  bool integer(int i, int32_t& out) const override {
    if (!has(i) || !std::holds_alternative<int32_t>(args_[i])) return false;
    out = std::get<int32_t>(args_[i]);
    return true;
  }
  bool real(int i, double& out) const override {
    if (!has(i) || !std::holds_alternative<double>(args_[i])) return false;
    out = std::get<double>(args_[i]);
    return true;
  }
  bool resultText(std::u16string_view) override { return true; }
  void resultBool(bool) override {}
  void resultI4(int32_t) override {}
  void resultUI1(uint8_t value) override { resultByte = value; }
  void resultUI4(uint32_t) override {}
  void resultR8(double) override {}
  bool outText(int, std::u16string_view) override { return true; }
  bool outI4(int, int32_t) override { return true; }
  bool outBool(int, bool) override { return true; }

  uint8_t resultByte = 0xFF;

 private:
  std::vector<Arg> args_;
};

const Timings kTimings{60000, 1000, 3000, 1000};

// One component's context, wired to the shared fake printer.
struct Instance {
  Instance(FakePrinter& printer, FakeClock& clock)
      : context(clock, kTimings, [&printer, &clock] { return std::make_unique<FakePort>(printer, clock); }) {
    context.reset();
  }
  bool call(const char16_t* method, std::vector<ValuesCall::Arg> args) {
    ValuesCall values(std::move(args));
    return runMethod(methodDef(static_cast<int>(findMethod(method))), context, values);
  }
  CommandContext context;
};

TEST(CommandContext, HandlersRunOnAFakePortThroughTheFactory) {
  FakeClock clock;
  FakePrinter printer;
  Instance a(printer, clock);
  ASSERT_TRUE(a.call(u"OpenPort", {int32_t{1}, int32_t{9600}}));
  ASSERT_TRUE(a.context.port().open);
  ASSERT_TRUE(a.call(u"ServCashInOut", {std::u16string(u"482915"), std::u16string(u"-20.50")}));
  ASSERT_FALSE(printer.runs.empty());
  EXPECT_EQ(printer.runs.back().command, code::kCashInOut);
  EXPECT_EQ(printer.runs.back().data, "482915;0;-20.50;");
  EXPECT_EQ(a.context.lastCmd(), u"-20.50");
  EXPECT_TRUE(a.context.accepted());
}

// Instance A sends one command and goes; instance B starts in the same
// second, so its first sequence byte is A's. B's first command still runs.
TEST(CommandContext, FirstCommandOfAnInstanceIsNeverTakenForARepeat) {
  FakeClock clock;
  FakePrinter printer;
  {
    Instance a(printer, clock);
    a.call(u"OpenPort", {int32_t{1}, int32_t{9600}});
    a.call(u"PrintXReportL", {std::u16string(u"482915")});
  }
  Instance b(printer, clock);
  b.call(u"OpenPort", {int32_t{1}, int32_t{9600}});
  b.call(u"PrintZReportL", {std::u16string(u"482915")});

  ASSERT_FALSE(printer.runs.empty());
  EXPECT_EQ(printer.runs.back().command, code::kReport);
  EXPECT_EQ(printer.runs.back().data, "482915;0;");
  // The command's own frame keeps the byte the clock gave it.
  EXPECT_EQ(printer.frames.back().seq, frame::sequenceByte(clock.calendar));
  // Later commands go out without a status request before them.
  size_t before = printer.frames.size();
  b.call(u"PrintXReportL", {std::u16string(u"482915")});
  EXPECT_EQ(printer.frames.size(), before + 1);
  // A closed and reopened port may lead to another printer: the guard again.
  b.call(u"ClosePort", {});
  b.call(u"OpenPort", {int32_t{1}, int32_t{9600}});
  before = printer.frames.size();
  b.call(u"PrintXReportL", {std::u16string(u"482915")});
  ASSERT_EQ(printer.frames.size(), before + 2);
  EXPECT_EQ(printer.frames[before].command, code::kStatus);
  EXPECT_EQ(printer.frames[before + 1].command, code::kReport);
}

// The printer's memory holds another command's answer under the byte the
// status request takes (an instance a second earlier): that repeat answers
// nothing, yet the command after it runs.
TEST(CommandContext, FirstCommandRunsWhenThePrinterRepeatsAnotherCommand) {
  FakeClock clock;
  FakePrinter printer;
  printer.lastSeq = frame::sequenceByte(clock.calendar - 1);
  printer.lastAnswer = datecs_sim::encodeAnswer(printer.lastSeq, code::kReport, "0000", {}, {});
  Instance a(printer, clock);
  a.call(u"OpenPort", {int32_t{1}, int32_t{9600}});
  a.call(u"PrintZReportL", {std::u16string(u"482915")});
  ASSERT_EQ(printer.runs.size(), 1u);
  EXPECT_EQ(printer.runs[0].data, "482915;0;");
  EXPECT_TRUE(a.context.accepted());
  // The repeat answers the status request at once: no resends, no wait.
  EXPECT_EQ(printer.frames.size(), 2u);
}

// No answer at all to the status request: the printer is not there, and the
// command is not sent into the silence a second time.
TEST(CommandContext, SilentPrinterCostsOneSilenceLimitNotTwo) {
  FakeClock clock;
  FakePrinter printer;
  printer.silent = true;
  Instance a(printer, clock);
  a.call(u"OpenPort", {int32_t{1}, int32_t{9600}});
  uint64_t start = clock.now;
  a.call(u"PrintZReportL", {std::u16string(u"482915")});
  EXPECT_TRUE(a.context.answer().timedOut);
  EXPECT_LE(clock.now - start, kTimings.silenceLimitMs + 1000u);
  for (const auto& f : printer.frames) EXPECT_EQ(f.command, code::kStatus);
}

}  // namespace
}  // namespace ostrel
