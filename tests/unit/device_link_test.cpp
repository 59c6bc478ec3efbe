#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "device/frame.h"
#include "device/link.h"

namespace ostrel {
namespace {

using Bytes = std::vector<uint8_t>;

class FakeClock : public Clock {
 public:
  uint64_t monotonicMs() override { return now; }
  uint32_t calendarSeconds() override { return calendar; }
  void sleepMs(uint32_t ms) override { now += ms; }

  uint64_t now = 1000000;
  uint32_t calendar = 1700000000;
};

// A port whose input is a script of pieces, each arriving a given number of
// milliseconds after the previous one. Waiting moves the fake clock on.
class FakePort : public SerialPort {
 public:
  struct Piece {
    uint32_t afterMs;
    Bytes bytes;
    bool error = false;  // the read fails instead (hang-up)
  };

  explicit FakePort(FakeClock& clock) : clock_(clock) {}

  uint8_t open(const std::string&, uint32_t) override {
    open_ = true;
    return kOpenOk;
  }
  bool isOpen() const override { return open_; }
  bool close() override {
    open_ = false;
    return true;
  }
  bool writeAll(const uint8_t* data, size_t size) override {
    if (!open_) return false;
    written.insert(written.end(), data, data + size);
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

 private:
  FakeClock& clock_;
  bool open_ = true;
};

Bytes answerFrame(const std::string& body) {
  Bytes out = {0x01, 0x2C, 0x25, 0x80};
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), {0x04, 0x80, 0x80, 0x88, 0x80, 0x86, 0x80, 0x05, 0x30, 0x31, 0x32, 0x33, 0x03});
  return out;
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

  const Timings timings{1000, 0, 0};
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

TEST_F(LinkTest, NakOrJunkFirstEndsBySilence) {
  const Bytes firsts[] = {{0x15}, {0x16, 0x30}};
  for (const Bytes& first : firsts) {
    answerWithRefusal();
    // A good frame after the bad start is read and dropped.
    port.script = {{10, first}, {500, answerFrame("0000;")}};
    EXPECT_EQ(exchange(&port), 10u + 500u + 1000u);
    expectTimedOutKeeping("0A05");
  }
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

TEST(LinkSequence, StartsFromTheClockAfterInitThenCounts) {
  FakeClock clock;
  const Timings timings{1000, 0, 0};
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
