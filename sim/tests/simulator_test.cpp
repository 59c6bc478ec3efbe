// The simulator over a real pseudo-terminal, driven the way a host drives a
// serial port.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "sim/simulator.h"
#include "sim/tests/pty_line.h"

using namespace datecs_sim;
using datecs_sim_test::PtyLine;
using Clock = std::chrono::steady_clock;

namespace {

const std::string PW = "482915";

long msSince(Clock::time_point t0) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

struct OnPty : ::testing::Test {
  Options options;
  std::unique_ptr<Simulator> sim;
  std::unique_ptr<PtyLine> line;
  uint8_t seq = 0x20;

  void SetUp() override { open(); }
  void open() {
    sim = std::make_unique<Simulator>(options);
    ASSERT_TRUE(sim->start());
    line = std::make_unique<PtyLine>(sim->slavePath());
    ASSERT_TRUE(line->ok());
  }
  uint8_t nextSeq() {
    seq = static_cast<uint8_t>(seq == 0x7E ? 0x20 : seq + 1);
    return seq;
  }
  Answer call(uint8_t cmd, const std::string& rest) { return line->exchange(nextSeq(), cmd, PW + ";" + rest); }
  std::vector<uint8_t> raw(uint8_t cmd, const std::string& rest, int ms = 2000) {
    line->send(encodeRequest(nextSeq(), cmd, PW + ";" + rest));
    return line->readAnswer(ms);
  }
};

}  // namespace

TEST_F(OnPty, StatusAnswerOverTheLine) {
  auto a = call(128, "");
  EXPECT_TRUE(a.checksumOk);
  EXPECT_TRUE(a.lengthOk);
  EXPECT_EQ(a.seq, seq);
  EXPECT_EQ(a.command, 128);
  EXPECT_EQ(a.code, "0000");
  ASSERT_GE(a.fields.size(), 9u);
  EXPECT_EQ(a.fields[8], "48");
  EXPECT_EQ(call(76, "").fields.at(0), "DT000001");
  auto m = call(224, "3;0;0;");
  EXPECT_EQ(m.fields, std::vector<std::string>{"0.00"});
  auto reqs = sim->requests();
  ASSERT_EQ(reqs.size(), 3u);
  EXPECT_EQ(reqs[2].command, 224);
  EXPECT_EQ(reqs[2].data, PW + ";3;0;0;");
  EXPECT_GT(sim->bytesReceived(), 0u);
  EXPECT_GT(sim->bytesSent(), 0u);
}

TEST_F(OnPty, BadChecksumGetsOneNakAndTheLineGoesOn) {
  auto frame = encodeRequest(nextSeq(), 128, PW + ";");
  frame[frame.size() - 2] ^= 0x01;
  line->send(frame);
  auto got = line->readAnswer(300);
  EXPECT_EQ(got, std::vector<uint8_t>{kNak});
  EXPECT_TRUE(line->readSome(150).empty());
  EXPECT_EQ(sim->badFrames(), 1u);
  EXPECT_TRUE(sim->requests().empty());
  EXPECT_EQ(call(128, "").code, "0000");
}

TEST_F(OnPty, RepeatedSequenceGetsTheSameAnswerWithoutASecondRun) {
  sim->withPrinter([](Printer& p) {
    p.execute(36, "482915;1;Tea;0;1;00;;");
    p.execute(99, "482915;1;1;0;");
  });
  auto frame = encodeRequest(0x40, 100, PW + ";1;1;2.00;");
  line->send(frame);
  auto first = line->readAnswer();
  line->send(frame);
  auto second = line->readAnswer();
  EXPECT_EQ(first, second);
  EXPECT_EQ(sim->requests().size(), 1u);  // the repeat is counted, not listed
  EXPECT_EQ(sim->repeats(), 1u);
  EXPECT_EQ(sim->state().receiptTotal, 200);
  auto tape = sim->tape();
  EXPECT_EQ(std::count(tape.begin(), tape.end(), "Tea  1.000 x 2.00 = 2.00"), 1);
  // A new sequence byte runs the command again.
  line->send(encodeRequest(0x41, 100, PW + ";1;1;2.00;"));
  line->readAnswer();
  EXPECT_EQ(sim->state().receiptTotal, 400);
}

TEST_F(OnPty, SynEverySixtyMillisecondsWhileBusy) {
  sim->setBusyMs(161, 400);
  auto t0 = Clock::now();
  line->send(encodeRequest(nextSeq(), 161, PW + ";1;"));
  std::vector<long> synAt;
  std::vector<uint8_t> all;
  while (!PtyLine::complete(all) && msSince(t0) < 3000) {
    auto part = line->readSome(1000);
    for (uint8_t b : part)
      if (b == kSyn && std::find(all.begin(), all.end(), kStart) == all.end()) synAt.push_back(msSince(t0));
    all.insert(all.end(), part.begin(), part.end());
  }
  long total = msSince(t0);
  EXPECT_GE(total, 380);
  ASSERT_GE(synAt.size(), 5u);
  EXPECT_LE(synAt.size(), 7u);
  EXPECT_GE(synAt[0], 40);
  Answer a;
  ASSERT_TRUE(decodeAnswer(PtyLine::frameOf(all), a));
  EXPECT_EQ(a.code, "0000");
}

TEST_F(OnPty, FaultsOneByOne) {
  struct Case {
    const char* name;
    Fault fault;
    std::function<void(OnPty&, const std::vector<uint8_t>&, long ms)> check;
  };
  auto fault = [](Fault::Kind k) {
    Fault f{k};
    return f;
  };
  Fault junk = fault(Fault::JunkBefore);
  junk.bytes = {'j', 'u', 'n', 'k'};
  Fault split = fault(Fault::Split);
  split.pieces = 3;
  split.delayMs = 80;
  Fault storm = fault(Fault::SynStorm);
  storm.delayMs = 100;
  Fault big = fault(Fault::Oversized);
  Fault custom = fault(Fault::Oversized);
  custom.bytes = {0x01, 0x02, 0x03};
  Fault err = fault(Fault::ErrorCode);
  err.errorCode = "0A05";
  Fault delay = fault(Fault::Delay);
  delay.delayMs = 250;

  const std::vector<Case> cases = {
      {"silence", fault(Fault::Silence),
       [](OnPty&, const std::vector<uint8_t>& got, long) { EXPECT_TRUE(got.empty()); }},
      {"nak", fault(Fault::Nak),
       [](OnPty&, const std::vector<uint8_t>& got, long) { EXPECT_EQ(got, std::vector<uint8_t>{kNak}); }},
      {"junk before", junk,
       [](OnPty&, const std::vector<uint8_t>& got, long) {
         ASSERT_GE(got.size(), 5u);
         EXPECT_EQ(std::string(got.begin(), got.begin() + 4), "junk");
         EXPECT_EQ(got[4], kStart);
       }},
      {"split", split,
       [](OnPty&, const std::vector<uint8_t>& got, long ms) {
         EXPECT_GE(ms, 150);
         Answer a;
         EXPECT_TRUE(decodeAnswer(got, a));
         EXPECT_EQ(got.front(), kStart);
       }},
      {"syn storm", storm,
       [](OnPty&, const std::vector<uint8_t>& got, long ms) {
         EXPECT_GE(ms, 95);
         size_t syns = std::find(got.begin(), got.end(), kStart) - got.begin();
         EXPECT_GE(syns, 100u);
         EXPECT_TRUE(std::all_of(got.begin(), got.begin() + static_cast<long>(syns), [](uint8_t b) { return b == kSyn; }));
       }},
      {"oversized", big,
       [](OnPty&, const std::vector<uint8_t>& got, long) {
         Answer a;
         ASSERT_TRUE(decodeAnswer(got, a));
         EXPECT_GT(got.size(), 12000u);
         ASSERT_EQ(a.fields.size(), 31u);
         EXPECT_EQ(a.fields[0].size(), 400u);
         EXPECT_EQ(a.fields[30], std::string("X\x04Y\0Z\x04", 6));
         EXPECT_TRUE(a.checksumOk);
       }},
      {"custom raw answer", custom,
       [](OnPty&, const std::vector<uint8_t>& got, long) { EXPECT_EQ(got, (std::vector<uint8_t>{1, 2, 3})); }},
      {"error code", err,
       [](OnPty&, const std::vector<uint8_t>& got, long) {
         Answer a;
         ASSERT_TRUE(decodeAnswer(got, a));
         EXPECT_EQ(a.code, "0A05");
         EXPECT_TRUE(a.fields.empty());
       }},
      {"delay", delay,
       [](OnPty&, const std::vector<uint8_t>& got, long ms) {
         EXPECT_GE(ms, 240);
         Answer a;
         EXPECT_TRUE(decodeAnswer(got, a));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim->clearFaults();
    Fault f = c.fault;
    f.command = 128;
    sim->inject(f);
    // Another command passes untouched.
    EXPECT_EQ(call(224, "3;0;0;").code, "0000");
    auto t0 = Clock::now();
    line->send(encodeRequest(nextSeq(), 128, PW + ";"));
    std::vector<uint8_t> got;
    if (f.kind == Fault::Oversized && !f.bytes.empty()) {
      while (got.size() < 3) {
        auto part = line->readSome(500);
        if (part.empty()) break;
        got.insert(got.end(), part.begin(), part.end());
      }
    } else {
      got = line->readAnswer(f.kind == Fault::Silence ? 300 : 2000);
    }
    long ms = msSince(t0);
    c.check(*this, got, ms);
    // Used up: the next status request is answered normally.
    auto again = call(128, "");
    EXPECT_EQ(again.code, "0000");
    EXPECT_GE(again.fields.size(), 9u);
  }
}

namespace {

// Everything that arrives until the line is quiet for `ms`.
std::vector<uint8_t> drain(PtyLine& line, int ms) {
  std::vector<uint8_t> all;
  for (;;) {
    auto part = line.readSome(ms);
    if (part.empty()) return all;
    all.insert(all.end(), part.begin(), part.end());
  }
}

// The answer frames within received bytes, in order.
std::vector<std::vector<uint8_t>> framesIn(const std::vector<uint8_t>& b) {
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i < b.size(); ++i) {
    if (b[i] != kStart) continue;
    for (size_t e = i + 4; e + 5 < b.size(); ++e) {
      if (b[e] != kEndData || b[e + 5] != kEnd) continue;
      frames.emplace_back(b.begin() + static_cast<long>(i), b.begin() + static_cast<long>(e + 6));
      i = e + 5;
      break;
    }
  }
  return frames;
}

}  // namespace

// Each line fault spoils the first try; the host's resend of the same frame
// gets the right answer, and the sale runs exactly once.
TEST_F(OnPty, LineFaultsRecoverByTheRepeatAndRunOnce) {
  sim->withPrinter([](Printer& p) {
    p.execute(36, "482915;1;Tea;0;1;00;;");
    p.execute(99, "482915;1;1;0;");
  });
  using Bytes = std::vector<uint8_t>;
  struct Case {
    const char* name;
    Fault::Kind kind;
    std::function<void(const Bytes& first, long ms, uint8_t seq, bool ranAlready)> check;
  };
  const Case cases[] = {
      {"drop request", Fault::DropRequest, [](const Bytes& got, long, uint8_t, bool ran) {
         EXPECT_TRUE(got.empty());
         EXPECT_FALSE(ran);
       }},
      {"drop answer", Fault::DropAnswer, [](const Bytes& got, long, uint8_t, bool ran) {
         EXPECT_TRUE(got.empty());
         EXPECT_TRUE(ran);
       }},
      {"nak", Fault::Nak, [](const Bytes& got, long, uint8_t, bool ran) {
         EXPECT_EQ(got, Bytes{kNak});
         EXPECT_FALSE(ran);
       }},
      {"flip a request bit", Fault::FlipRequest, [](const Bytes& got, long, uint8_t, bool ran) {
         EXPECT_EQ(got, Bytes{kNak});  // the printer's checksum test catches it
         EXPECT_FALSE(ran);
       }},
      {"flip an answer bit", Fault::FlipAnswer, [](const Bytes& got, long, uint8_t, bool ran) {
         Answer a;
         EXPECT_FALSE(decodeAnswer(PtyLine::frameOf(got), a) && a.checksumOk && a.lengthOk);
         EXPECT_TRUE(ran);
       }},
      {"delay", Fault::Delay, [](const Bytes& got, long ms, uint8_t, bool ran) {
         EXPECT_GE(ms, 110);
         EXPECT_EQ(framesIn(got).size(), 1u);
         EXPECT_TRUE(ran);
       }},
      {"garbage", Fault::JunkBefore, [](const Bytes& got, long, uint8_t, bool ran) {
         ASSERT_FALSE(got.empty());
         EXPECT_NE(got[0], kStart);
         EXPECT_TRUE(ran);
       }},
      {"stale answer first", Fault::Stale, [](const Bytes& got, long, uint8_t seq, bool ran) {
         auto frames = framesIn(got);
         ASSERT_EQ(frames.size(), 2u);
         Answer stale, ours;
         ASSERT_TRUE(decodeAnswer(frames[0], stale));
         ASSERT_TRUE(decodeAnswer(frames[1], ours));
         EXPECT_TRUE(stale.checksumOk && stale.lengthOk);
         EXPECT_NE(stale.seq, seq);
         EXPECT_EQ(ours.seq, seq);
         EXPECT_TRUE(ran);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim->clearFaults();
    Fault f{c.kind, 100};
    f.delayMs = 120;
    sim->inject(f);
    const auto before = sim->state().receiptTotal;
    const Bytes frame = encodeRequest(nextSeq(), 100, PW + ";1;1;2.00;");
    auto t0 = Clock::now();
    line->send(frame);
    const Bytes first = drain(*line, 150);
    c.check(first, msSince(t0) - 150, frame[2], sim->state().receiptTotal == before + 200);
    EXPECT_EQ(sim->injected(c.kind), 1u);

    line->send(frame);  // the host's resend
    const auto frames = framesIn(drain(*line, 150));
    ASSERT_FALSE(frames.empty());
    Answer a;
    ASSERT_TRUE(decodeAnswer(frames.back(), a));
    EXPECT_TRUE(a.checksumOk && a.lengthOk);
    EXPECT_EQ(a.seq, frame[2]);
    EXPECT_EQ(a.code, "0000");
    EXPECT_EQ(sim->state().receiptTotal, before + 200);
  }
  auto tape = sim->tape();
  EXPECT_EQ(std::count(tape.begin(), tape.end(), "Tea  1.000 x 2.00 = 2.00"), 8);
}

// A host that resends the same frame until it gets its answer, over a line
// that draws every fault at random: every fault shows up, every request is
// answered, and none runs twice.
TEST_F(OnPty, UnreliableLineDrawsEveryFault) {
  sim->setUnreliable(Unreliable::everyFault(10, 42, 100));
  const int requests = 80;
  for (int i = 0; i < requests; ++i) {
    const auto frame = encodeRequest(nextSeq(), 224, PW + ";3;0;0;");
    bool answered = false;
    for (int attempt = 0; attempt < 10 && !answered; ++attempt) {
      line->send(frame);
      std::vector<uint8_t> got;
      // Read until our answer, or resend after 60 ms of quiet.
      while (!answered) {
        auto part = line->readSome(60);
        if (part.empty()) break;
        got.insert(got.end(), part.begin(), part.end());
        for (const auto& f : framesIn(got)) {
          Answer a;
          answered = answered || (decodeAnswer(f, a) && a.checksumOk && a.lengthOk && a.seq == frame[2]);
        }
      }
    }
    EXPECT_TRUE(answered) << i;
  }
  for (Fault::Kind k : {Fault::FlipRequest, Fault::FlipAnswer, Fault::DropRequest, Fault::DropAnswer, Fault::Nak,
                        Fault::Delay, Fault::JunkBefore, Fault::Stale})
    EXPECT_GT(sim->injected(k), 0u) << k;
  EXPECT_EQ(sim->requests().size(), static_cast<size_t>(requests));
}

struct Remembering : OnPty {
  void SetUp() override {
    options.rememberSeq = clockSequenceByte(1700000000);
    options.rememberCommand = 99;
    open();
  }
};

// The printer starts with the sequence byte a new host will use in memory:
// a frame with it is answered from memory and not run.
TEST_F(Remembering, AFrameWithTheRememberedSequenceIsNotRun) {
  EXPECT_EQ(clockSequenceByte(1700000000), 1700000000u % 95 + 0x20);
  auto a = line->exchange(clockSequenceByte(1700000000), 99, PW + ";1;1;0;");
  EXPECT_EQ(a.code, "0000");
  EXPECT_EQ(a.command, 99);
  EXPECT_EQ(sim->state().receipt, ReceiptKind::None);
  seq = clockSequenceByte(1700000000);
  EXPECT_EQ(call(99, "1;1;0;").code, "0000");
  EXPECT_EQ(sim->state().receipt, ReceiptKind::Sale);
}

TEST_F(OnPty, SilencedAndRefusedRequestsAreNotCarriedOut) {
  sim->withPrinter([](Printer& p) { p.execute(36, "482915;1;Tea;0;1;00;;"); });
  Fault silence{Fault::Silence};
  silence.command = 99;
  sim->inject(silence);
  line->send(encodeRequest(nextSeq(), 99, PW + ";1;1;0;"));
  EXPECT_TRUE(line->readAnswer(200).empty());
  EXPECT_EQ(sim->state().receipt, ReceiptKind::None);
  Fault err{Fault::ErrorCode};
  err.command = 99;
  err.errorCode = "0107";
  sim->inject(err);
  EXPECT_EQ(call(99, "1;1;0;").code, "0107");
  EXPECT_EQ(sim->state().receipt, ReceiptKind::None);
  EXPECT_EQ(call(99, "1;1;0;").code, "0000");
  EXPECT_EQ(sim->state().receipt, ReceiptKind::Sale);
}

TEST_F(OnPty, PersistentErrorAndCountedFaults) {
  sim->setErrorFor(128, "0101");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(call(128, "").code, "0101");
  sim->clearFaults();
  Fault nak{Fault::Nak};
  nak.count = 2;
  sim->inject(nak);
  EXPECT_EQ(raw(76, ""), std::vector<uint8_t>{kNak});
  EXPECT_EQ(raw(128, ""), std::vector<uint8_t>{kNak});
  EXPECT_EQ(call(128, "").code, "0000");
}

TEST_F(OnPty, HangupClosesThePort) {
  Fault f{Fault::Hangup};
  f.command = 128;
  sim->inject(f);
  line->send(encodeRequest(nextSeq(), 128, PW + ";"));
  bool gone = false;
  auto t0 = Clock::now();
  while (!gone && msSince(t0) < 1000) line->readSome(200, &gone);
  EXPECT_TRUE(gone);
  // Writing to a hung-up terminal fails instead of blocking.
  EXPECT_FALSE(line->send(encodeRequest(nextSeq(), 128, PW + ";")));
}

TEST_F(OnPty, UnknownCommandAnswersTheDefaultCode) {
  EXPECT_EQ(call(250, "").code, "0002");
}

struct Paced : OnPty {
  void SetUp() override {
    options.baud = 9600;
    options.link = ::testing::TempDir() + "datecs-sim-test-link";
    open();
  }
};

TEST_F(Paced, SendsAtTheLineRateAndLinksTheSlave) {
  char target[256] = {};
  ssize_t n = ::readlink(options.link.c_str(), target, sizeof target - 1);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(target), sim->slavePath());
  auto before = sim->bytesSent();
  auto t0 = Clock::now();
  auto a = call(128, "");
  long ms = msSince(t0);
  uint64_t sent = sim->bytesSent() - before;
  EXPECT_EQ(a.code, "0000");
  // 10 bits a byte at 9600 baud.
  long lineMs = static_cast<long>(sent * 10 * 1000 / 9600);
  EXPECT_GE(ms, lineMs - 5);
  EXPECT_LT(ms, lineMs + 300);
  sim->stop();
  struct stat st;
  EXPECT_NE(::lstat(options.link.c_str(), &st), 0);
}
