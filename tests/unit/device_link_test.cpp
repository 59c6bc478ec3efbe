#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/frame.h"
#include "device/link.h"
#include "fakes.h"

namespace ostrel {
namespace {

using testing::Bytes;

using testing::FakeClock;

// A port whose input is a script of pieces, each arriving a given number of
// milliseconds after the previous one. Waiting moves the fake clock on.
class FakePort : public testing::OpenFlagPort {
 public:
  struct Piece {
    uint32_t afterMs;
    Bytes bytes;
    bool error = false;  // the read fails instead (hang-up)
  };

  explicit FakePort(FakeClock& clock) : clock_(clock) { open_ = true; }

  bool writeAll(const uint8_t* data, size_t size) override {
    if (!open_) return false;
    written.insert(written.end(), data, data + size);
    ++writes;
    if (onWrite) onWrite();
    return writeWorks;
  }
  int readSome(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override {
    ++reads;
    if (!open_) return -1;
    if (script.empty() || script.front().afterMs > timeoutMs) {
      if (!script.empty()) script.front().afterMs -= timeoutMs;
      clock_.now += timeoutMs;
      return 0;
    }
    Piece& next = script.front();
    clock_.now += next.afterMs;
    next.afterMs = 0;
    if (next.error) return -1;
    const size_t n = std::min(capacity, next.bytes.size());
    std::copy(next.bytes.begin(), next.bytes.begin() + n, buffer);
    next.bytes.erase(next.bytes.begin(), next.bytes.begin() + n);
    if (next.bytes.empty()) script.pop_front();
    return static_cast<int>(n);
  }

  std::deque<Piece> script;
  Bytes written;
  bool writeWorks = true;
  int reads = 0;
  int writes = 0;
  std::function<void()> onWrite;  // the printer's turn after each write

 private:
  FakeClock& clock_;
};

// An answer frame to sequence byte `seq` and `command`, with a right length
// byte and checksum.
Bytes answerTo(uint8_t seq, uint8_t command, const std::string& body) {
  Bytes text(body.begin(), body.end());
  return testing::answerFrame(text, {0x80, 0x80, 0x88, 0x80, 0x86, 0x80}, seq, command);
}

Bytes request(uint8_t command, uint32_t counter, const std::string& data) {
  uint8_t out[300];
  return Bytes(out, out + frame::buildRequest(command, counter, data, out, sizeof out));
}

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() {
    link->reset();
    link->advanceSequence();
  }

  // Runs one exchange and returns how long it took on the fake clock.
  uint64_t exchange(SerialPort* p, uint8_t command = 0x80, const std::string& data = "") {
    const uint64_t start = clock.now;
    EXPECT_TRUE(link->exchange(p, command, data));
    return clock.now - start;
  }

  // An answer to the link's current request (command 0x80).
  Bytes answerFrame(const std::string& body) const {
    return answerTo(frame::sequenceByte(link->sequenceCounter()), 0x80, body);
  }

  // Leaves a refusal with a field as the last answer.
  void answerWithRefusal() {
    port.script = {{0, answerFrame("0A05;x;")}};
    exchange(&port);
    ASSERT_STREQ(link->answer().errorCode, "0A05");
    ASSERT_EQ(link->answer().fieldCount, 1);
  }

  void expectTimedOutKeeping(const char* code) {
    const Answer& a = link->answer();
    EXPECT_TRUE(a.timedOut);
    EXPECT_STREQ(a.errorCode, code);
    EXPECT_EQ(a.fieldCount, 0);
    EXPECT_EQ(a.fields[0][0], 0);
    EXPECT_EQ(Bytes(a.status, a.status + kStatusBytes), Bytes(6, 0));
  }

  // A resend interval as long as the silence limit: no resend on quiet.
  Timings timings{1000, 0, 0, 1000};
  FakeClock clock;
  FakePort port{clock};
  std::unique_ptr<Link> link = std::make_unique<Link>(clock, timings);
};

TEST_F(LinkTest, SendsTheFrameAndAssemblesAnAnswerFromPieces) {
  const Bytes answer = answerFrame("0000;12.50;0.00;");
  // Each piece comes within the silence limit of the one before, though the
  // whole answer takes longer than the limit.
  port.script = {{100, {0x16, 0x16}},
                 {900, {0x16}},
                 {900, Bytes(answer.begin(), answer.begin() + 9)},
                 {900, Bytes(answer.begin() + 9, answer.end())}};
  EXPECT_EQ(exchange(&port, 0x80, "abc"), 2800u);
  EXPECT_EQ(port.written, request(0x80, clock.calendar, "abc"));
  const Answer& a = link->answer();
  EXPECT_FALSE(a.timedOut);
  EXPECT_EQ(a.frameStart, 3);
  EXPECT_STREQ(a.errorCode, "0000");
  ASSERT_EQ(a.fieldCount, 2);
  EXPECT_STREQ(a.fields[0], "12.50");
  EXPECT_STREQ(a.fields[1], "0.00");
  EXPECT_EQ(a.status[2], 0x88);
  EXPECT_LE(port.reads, 8);  // waits happen in the port, not in a loop here
}

TEST_F(LinkTest, SilenceEndsInTheTimeOutStateKeepingTheCode) {
  answerWithRefusal();
  EXPECT_EQ(exchange(&port), 1000u);
  expectTimedOutKeeping("0A05");
  EXPECT_LE(port.reads, 3);
}

TEST_F(LinkTest, EachPieceRestartsTheSilenceLimit) {
  answerWithRefusal();
  port.script = {{999, {0x16}}, {999, {0x01, 0x2C}}};
  EXPECT_EQ(exchange(&port), 999u + 999u + 1000u);
  expectTimedOutKeeping("0A05");
}

TEST_F(LinkTest, JunkFirstIsSkipped) {
  answerWithRefusal();
  port.script = {{10, {0x16, 0x30, 0x00, 0x03}}, {500, answerFrame("0000;")}};
  EXPECT_EQ(exchange(&port), 10u + 500u);
  EXPECT_FALSE(link->answer().timedOut);
  EXPECT_STREQ(link->answer().errorCode, "0000");
  EXPECT_EQ(link->answer().frameStart, 4);
}

TEST_F(LinkTest, DeadPortEndsAtOnce) {
  enum Fault { kNoPort, kClosed, kWriteFails, kReadFails };
  for (Fault fault : {kNoPort, kClosed, kWriteFails, kReadFails}) {
    SCOPED_TRACE(fault);
    answerWithRefusal();
    port.written.clear();
    port.writeWorks = fault != kWriteFails;
    if (fault == kClosed) port.close();
    if (fault == kReadFails) port.script = {{0, {}, true}};
    EXPECT_EQ(exchange(fault == kNoPort ? nullptr : &port), 0u);
    expectTimedOutKeeping("0A05");
    if (fault == kClosed) {
      EXPECT_TRUE(port.written.empty());
    }
    port.open("", 0);
    port.writeWorks = true;
    port.script.clear();
  }
}

TEST_F(LinkTest, TooLongDataIsNotSentAndChangesNothing) {
  answerWithRefusal();
  port.written.clear();
  const uint32_t counter = link->sequenceCounter();
  EXPECT_FALSE(link->exchange(&port, 0x80, std::string(frame::kMaxFrameData + 1, 'x')));
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(link->sequenceCounter(), counter);
  EXPECT_FALSE(link->answer().timedOut);
  EXPECT_STREQ(link->answer().fields[0], "x");

  port.script = {{0, answerFrame("0000;")}};
  EXPECT_TRUE(link->exchange(&port, 0x80, std::string(frame::kMaxFrameData, 'x')));
  EXPECT_EQ(port.written.size(), frame::kMaxFrameData + frame::kRequestOverhead);
}

// A printer on a product-like line: a minute of silence for a dead printer,
// a resend after a second of quiet. Each write is answered by the next entry
// of the plan (no entry: the request is lost).
class LinkResendTest : public LinkTest {
 protected:
  using Plan = std::vector<std::vector<FakePort::Piece>>;

  LinkResendTest() {
    timings = {60000, 0, 0, 1000};
    port.onWrite = [this] {
      const size_t n = static_cast<size_t>(port.writes) - 1;
      if (n < plan.size()) port.script.insert(port.script.end(), plan[n].begin(), plan[n].end());
    };
  }

  uint8_t seq() const { return frame::sequenceByte(link->sequenceCounter()); }

  // Every write was the same request frame.
  void expectSameFrameWritten(int times) {
    const Bytes one = request(0x80, link->sequenceCounter(), "");
    EXPECT_EQ(port.writes, times);
    ASSERT_EQ(port.written.size(), one.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i)
      EXPECT_EQ(Bytes(port.written.begin() + i * one.size(), port.written.begin() + (i + 1) * one.size()), one);
  }

  Plan plan;
};

TEST_F(LinkResendTest, RecoversByResendingTheSameFrame) {
  const Bytes good = answerFrame("0000;42;");
  Bytes badChecksum = good;
  badChecksum[10] ^= 0x01;
  const Bytes otherCommand = answerTo(seq(), 0x81, "0000;42;");
  const Bytes stale = answerTo(static_cast<uint8_t>(seq() == 0x20 ? 0x7E : seq() - 1), 0x80, "0000;old;");
  Bytes staleDamaged = stale;
  staleDamaged[9] ^= 0x40;
  Bytes staleThenGood = stale;
  staleThenGood.insert(staleThenGood.end(), good.begin(), good.end());
  struct Case {
    const char* name;
    Plan plan;
    int writes;
    uint64_t ms;
  };
  const Case cases[] = {
      {"clean line", {{{5, good}}}, 1, 5},
      {"NAK: at once", {{{5, {0x15}}}, {{5, good}}}, 2, 10},
      {"bad checksum of ours: at once", {{{5, badChecksum}}, {{5, good}}}, 2, 10},
      {"another command byte with our sequence: at once", {{{5, otherCommand}}, {{5, good}}}, 2, 10},
      {"lost request: after a second of quiet", {{}, {{5, good}}}, 2, 1005},
      {"lost answer after SYN: a second after the last byte", {{{5, {0x16}}}, {{5, good}}}, 2, 1010},
      {"stale answer then ours in one piece", {{{5, staleThenGood}}}, 1, 5},
      {"only a stale answer: dropped, then quiet", {{{5, stale}}, {{5, good}}}, 2, 1010},
      {"damaged stale answer: dropped, then quiet", {{{5, staleDamaged}}, {{5, good}}}, 2, 1010},
      {"answer later than the resend interval", {{{1500, good}}, {{5, good}}}, 2, 1500},
      {"a second NAK", {{{5, {0x15}}}, {{5, {0x15}}}, {{5, good}}}, 3, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    answerWithRefusal();
    port.writes = 0;
    port.written.clear();
    port.script.clear();
    plan = c.plan;
    EXPECT_EQ(exchange(&port), c.ms);
    expectSameFrameWritten(c.writes);
    const Answer& a = link->answer();
    EXPECT_FALSE(a.timedOut);
    EXPECT_STREQ(a.errorCode, "0000");
    ASSERT_EQ(a.fieldCount, 1);
    EXPECT_STREQ(a.fields[0], "42");
  }
}

TEST_F(LinkResendTest, TheResendsAreBounded) {
  // A printer that spoils every try: the resends stop at the bound, and the
  // exchange ends at the silence limit after the last byte.
  answerWithRefusal();
  port.writes = 0;
  port.written.clear();
  plan.assign(Link::kMaxResends + 5, {{5, {0x15}}});
  EXPECT_EQ(exchange(&port), 5u * (Link::kMaxResends + 1) + 60000u);
  expectSameFrameWritten(Link::kMaxResends + 1);
  expectTimedOutKeeping("0A05");

  // A dead printer: the resends go out a second apart, and the exchange
  // still ends at the silence limit after the first write.
  port.writes = 0;
  port.written.clear();
  plan.clear();
  EXPECT_EQ(exchange(&port), 60000u);
  expectSameFrameWritten(Link::kMaxResends + 1);
  expectTimedOutKeeping("0A05");

  // With the resends spent, a spoiled frame is dropped and a late answer to
  // an earlier try is still taken.
  port.writes = 0;
  port.written.clear();
  plan.assign(Link::kMaxResends + 1, {{5, {0x15}}});
  plan.back() = {{5, {0x15}}, {50, answerTo(seq(), 0x80, "0000;42;")}};
  EXPECT_EQ(exchange(&port), 5u * (Link::kMaxResends + 1) + 50u);
  expectSameFrameWritten(Link::kMaxResends + 1);
  EXPECT_FALSE(link->answer().timedOut);
  EXPECT_STREQ(link->answer().fields[0], "42");
}

// A repeat answer left over from a resend arrives during the next exchange:
// its sequence byte is the previous one, so it is dropped.
TEST_F(LinkResendTest, ALateRepeatIsNeverTakenForTheNextAnswer) {
  plan = {{{1500, answerFrame("0000;1;")}}, {{5, answerFrame("0000;1;")}}};
  exchange(&port);
  EXPECT_STREQ(link->answer().fields[0], "1");
  ASSERT_EQ(port.script.size(), 1u);  // the repeat is still on its way
  link->advanceSequence();
  port.writes = 0;
  port.written.clear();
  plan = {{{5, answerFrame("0000;2;")}}};
  exchange(&port);
  expectSameFrameWritten(1);
  EXPECT_STREQ(link->answer().fields[0], "2");
}

// Command 0 (DirectIO's default) and an answer whose length byte wraps to
// 0x00 keep their code and fields.
TEST_F(LinkResendTest, ZeroBytesInTheHeaderAreData) {
  const std::string longField(207, 'w');
  const std::pair<uint8_t, std::string> cases[] = {{0x00, "0000;7;"}, {0x80, "0000;" + longField + ";"}};
  for (const auto& [command, body] : cases) {
    const Bytes answer = answerTo(seq(), command, body);
    plan = {{{5, answer}}};
    port.writes = 0;
    EXPECT_TRUE(link->exchange(&port, command, ""));
    EXPECT_EQ(port.writes, 1);
    EXPECT_FALSE(link->answer().timedOut);
    EXPECT_STREQ(link->answer().errorCode, "0000");
    EXPECT_EQ(link->answer().fieldCount, 1);
    EXPECT_EQ(link->answer().status[2], 0x88);
  }
  EXPECT_EQ(answerTo(seq(), 0x80, "0000;" + longField + ";")[1], 0x00);
}

TEST(LinkSequence, StartsFromTheClockAfterInitThenCounts) {
  FakeClock clock;
  const Timings timings{1000, 0, 0, 1000};
  auto link = std::make_unique<Link>(clock, timings);
  EXPECT_EQ(link->sequenceCounter(), 0xFFFFFFFFu);
  link->reset();
  EXPECT_EQ(link->sequenceCounter(), 255u);
  EXPECT_STREQ(link->answer().errorCode, "0000");
  link->advanceSequence();
  EXPECT_EQ(link->sequenceCounter(), clock.calendar);
  link->stepSequence();
  EXPECT_EQ(link->sequenceCounter(), clock.calendar + 1);
  link->advanceSequence();
  EXPECT_EQ(link->sequenceCounter(), clock.calendar + 2);

  // Only the value 255 jumps to the clock; a counter that reaches it from
  // below does so too, and the top of the range wraps.
  link->setSequenceCounter(254);
  link->advanceSequence();
  EXPECT_EQ(link->sequenceCounter(), 255u);
  link->advanceSequence();
  EXPECT_EQ(link->sequenceCounter(), clock.calendar);
  link->setSequenceCounter(0xFFFFFFFFu);
  link->advanceSequence();
  EXPECT_EQ(link->sequenceCounter(), 0u);
}

}  // namespace
}  // namespace ostrel
