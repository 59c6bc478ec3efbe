#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "device/frame.h"
#include "fakes.h"

namespace ostrel {
namespace {

using testing::Bytes;
using testing::answerFrame;
using State = frame::AnswerReader::State;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}


TEST(DeviceFrame, SequenceByte) {
  const std::pair<uint32_t, uint8_t> cases[] = {
      {0, 0x20}, {5, 0x25}, {94, 0x7E}, {95, 0x20}, {96, 0x21}, {255, 0x61}, {0xFFFFFFFFu, 0x25},
  };
  for (const auto& [counter, byte] : cases) EXPECT_EQ(frame::sequenceByte(counter), byte) << counter;
}

TEST(DeviceFrame, BuildRequest) {
  struct Case {
    uint8_t command;
    uint32_t counter;
    std::string data;
    Bytes expected;
  };
  const Case cases[] = {
      {0x80, 5, "abc", {0x01, 0x27, 0x25, 0x80, 0x61, 0x62, 0x63, 0x05, 0x30, 0x31, 0x3F, 0x37, 0x03}},
      // Empty data: 10 bytes, length byte 0x24; nibbles 12 and 9 as '<' '9'.
      {0x80, 0, "", {0x01, 0x24, 0x20, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x39, 0x03}},
      {0x4C, 1234567, "482915;",
       {0x01, 0x2B, 0x4A, 0x4C, 0x34, 0x38, 0x32, 0x39, 0x31, 0x35, 0x3B, 0x05, 0x30, 0x32, 0x33, 0x3E, 0x03}},
  };
  for (const Case& c : cases) {
    uint8_t out[300];
    const size_t size = frame::buildRequest(c.command, c.counter, c.data, out, sizeof out);
    EXPECT_EQ(Bytes(out, out + size), c.expected) << c.data;
  }
}

TEST(DeviceFrame, BuildRequestLimits) {
  uint8_t out[300];
  const std::string longest(frame::kMaxFrameData, 'A');
  ASSERT_EQ(frame::buildRequest(0x30, 0, longest, out, sizeof out), 229u);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(Bytes(out + 223, out + 229), Bytes({0x05, 0x33, 0x38, 0x3E, 0x3F, 0x03}));

  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(frame::buildRequest(0x30, 0, longest + "A", out, sizeof out), 0u);
  EXPECT_EQ(frame::buildRequest(0x30, 0, "abc", out, 12), 0u);  // needs 13
  EXPECT_EQ(out[0], 0xEE);                                       // nothing written
}

struct Parsed {
  State state;
  bool whole;
  int frameStart;
  Answer answer;
};

// Feeds `bytes` in pieces of the given sizes (the rest in one piece) until
// a frame or a NAK is read, and parses the frame.
Parsed read(const Bytes& bytes, const std::vector<size_t>& pieces = {}) {
  // The reader holds a whole frame: too big for a test's stack comfort.
  auto reader = std::make_unique<frame::AnswerReader>();
  reader->reset();
  size_t at = 0;
  auto feed = [&](size_t piece) {
    const size_t end = at + std::min(piece, bytes.size() - at);
    while (at < end && reader->state() == State::NeedMore) at += reader->feed(bytes.data() + at, end - at);
    at = end;
  };
  for (size_t piece : pieces) feed(piece);
  feed(bytes.size());
  Parsed out{reader->state(), reader->whole(), reader->frameStart(), Answer{}};
  out.answer.timedOut = true;
  if (out.state == State::Frame) frame::parseAnswer(reader->frame(), reader->dataSize(), reader->frameStart(), out.answer);
  return out;
}

std::vector<std::string> fields(const Answer& a) {
  std::vector<std::string> out;
  for (int i = 0; i < a.fieldCount; ++i) out.emplace_back(a.fields[i]);
  return out;
}

Bytes status(const Answer& a) { return Bytes(a.status, a.status + kStatusBytes); }

TEST(DeviceFrame, ParsesAnswers) {
  struct Case {
    const char* name;
    Bytes bytes;
    int frameStart;
    std::string code;
    std::vector<std::string> fields;
    Bytes status;
  };
  const Bytes st = {0x80, 0x80, 0x88, 0x80, 0x86, 0x80};
  const Case cases[] = {
      {"two SYNs, two fields",
       {0x16, 0x16, 0x01, 0x3B, 0x25, 0x80, 0x30, 0x30, 0x30, 0x30, 0x3B, 0x31, 0x32, 0x2E, 0x35, 0x30, 0x3B,
        0x30, 0x2E, 0x30, 0x30, 0x3B, 0x04, 0x80, 0x80, 0x88, 0x80, 0x86, 0x80, 0x05, 0x30, 0x37, 0x31, 0x3C, 0x03},
       2, "0000", {"12.50", "0.00"}, st},
      {"no fields", answerFrame(text("0000;")), 0, "0000", {}, st},
      {"refusal", answerFrame(text("0A05;"), {1, 2, 3, 4, 5, 6}), 0, "0A05", {}, {1, 2, 3, 4, 5, 6}},
      {"empty field", answerFrame(text("0000;;x;")), 0, "0000", {"", "x"}, st},
      {"0x04 inside a field is text", answerFrame(join({text("0000;a"), {0x04}, text("b;")})), 0, "0000",
       {"a\x04" "b"}, st},
      // Bytes 0x00 are data: as the command byte (DirectIO's code 0), as the
      // length byte (it wraps past 255) and inside a field.
      {"command 0", answerFrame(text("0000;7;"), st, 0x25, 0x00), 0, "0000", {"7"}, st},
      {"length byte 0x00", answerFrame(text("0000;" + std::string(207, 'w') + ";")), 0, "0000",
       {std::string(149, 'w')}, st},
      {"NUL inside a field", answerFrame(join({text("0000;a;b"), {0x00}, text(";c;")})), 0, "0000", {"a", "b", "c"},
       st},
      {"NUL inside the code", answerFrame(join({{0x30, 0x00, 0x30, 0x30}, text(";")})), 0, "0", {}, st},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Parsed p = read(c.bytes);
    ASSERT_EQ(p.state, State::Frame);
    EXPECT_TRUE(p.whole);
    EXPECT_EQ(p.answer.frameStart, c.frameStart);
    EXPECT_FALSE(p.answer.timedOut);
    EXPECT_EQ(std::string(p.answer.errorCode), c.code);
    EXPECT_EQ(fields(p.answer), c.fields);
    EXPECT_EQ(status(p.answer), c.status);
  }
  EXPECT_EQ(answerFrame(text("0000;" + std::string(207, 'w') + ";"))[1], 0x00);
}

// The parser alone keeps its bounds on frames the reader would not pass.
TEST(DeviceFrame, ParsesBrokenLayouts) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::string code;
    std::vector<std::string> fields;
    Bytes status;
  };
  const Case cases[] = {
      {"frame ends inside the status", {0x01, 0x2A, 0x25, 0x80, 0x30, 0x30, 0x30, 0x30, 0x3B, 0x04, 0x81, 0x03},
       "0000", {}, {0x81, 0x03, 0, 0, 0, 0}},
      {"field never closed by 0x04", join({{0x01, 0x2A, 0x25, 0x80}, text("0000;a;b")}), "0000", {"a"},
       {0, 0, 0, 0, 0, 0}},
      {"frame shorter than a code", {0x01, 0x2A, 0x25, 0x80, 0x30, 0x03}, "0\x03", {}, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Answer a;
    a.timedOut = true;
    frame::parseAnswer(c.bytes.data(), c.bytes.size(), 0, a);
    EXPECT_FALSE(a.timedOut);
    EXPECT_EQ(std::string(a.errorCode), c.code);
    EXPECT_EQ(fields(a), c.fields);
    EXPECT_EQ(status(a), c.status);
  }
}

TEST(DeviceFrame, FramesNaksAndNoise) {
  Bytes badChecksum = answerFrame(text("0000;"));
  badChecksum[badChecksum.size() - 2] ^= 0x01;
  Bytes badLength = answerFrame(text("0000;"));
  badLength[1] += 1;
  Bytes flippedField = answerFrame(text("0000;12.50;"));
  flippedField[11] ^= 0x04;
  struct Case {
    const char* name;
    Bytes bytes;
    State state;
    bool whole;
    int frameStart;
  };
  const Case cases[] = {
      {"nothing yet", {}, State::NeedMore, false, 0},
      {"only SYNs", {0x16, 0x16, 0x16}, State::NeedMore, false, 3},
      {"frame without its end", {0x16, 0x01, 0x2A, 0x25, 0x80, 0x30}, State::NeedMore, false, 1},
      {"0x03 without 0x05 and a checksum before it", {0x01, 0x03, 0x30}, State::NeedMore, false, 0},
      {"NAK", {0x15}, State::Nak, false, 0},
      {"SYNs then NAK", {0x16, 0x16, 0x15}, State::Nak, false, 2},
      {"junk then a good frame", join({{0x30, 0xFF, 0x03}, answerFrame(text("0000;"))}), State::Frame, true, 3},
      {"NUL first", join({{0x00}, answerFrame(text("0000;"))}), State::Frame, true, 1},
      {"a frame that lost its end runs into the next",
       join({{0x01, 0x2A, 0x25, 0x80, 0x30}, answerFrame(text("0000;"))}), State::Frame, false, 0},
      {"bad checksum", badChecksum, State::Frame, false, 0},
      {"bad length byte", badLength, State::Frame, false, 0},
      {"a bit flipped in a field", flippedField, State::Frame, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Parsed p = read(c.bytes);
    EXPECT_EQ(p.state, c.state);
    EXPECT_EQ(p.whole, c.whole);
    EXPECT_EQ(p.frameStart, c.frameStart);
  }
}

// A stale answer, a NAK and the answer in one piece: each is reported in
// turn, and the position counts every byte before the frame taken.
TEST(DeviceFrame, NextGoesOnWithinThePiece) {
  const Bytes stale = answerFrame(text("0000;old;"), {0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, 0x24);
  const Bytes ours = answerFrame(text("0000;new;"));
  const Bytes piece = join({{0x16}, stale, {0x15, 0x16}, ours});
  auto reader = std::make_unique<frame::AnswerReader>();
  reader->reset();
  size_t at = reader->feed(piece.data(), piece.size());
  ASSERT_EQ(reader->state(), State::Frame);
  EXPECT_EQ(reader->sequence(), 0x24);
  EXPECT_TRUE(reader->whole());
  EXPECT_EQ(reader->feed(piece.data() + at, piece.size() - at), 0u);  // waits for next()
  reader->next();
  at += reader->feed(piece.data() + at, piece.size() - at);
  ASSERT_EQ(reader->state(), State::Nak);
  reader->next();
  at += reader->feed(piece.data() + at, piece.size() - at);
  ASSERT_EQ(reader->state(), State::Frame);
  EXPECT_EQ(at, piece.size());
  EXPECT_EQ(reader->sequence(), 0x25);
  EXPECT_EQ(reader->command(), 0x80);
  EXPECT_EQ(reader->frameStart(), static_cast<int>(1 + stale.size() + 2));
  Answer a;
  frame::parseAnswer(reader->frame(), reader->dataSize(), reader->frameStart(), a);
  EXPECT_STREQ(a.fields[0], "new");
}

TEST(DeviceFrame, HostileAnswersStayInBounds) {
  std::string thirty = "0000;";
  for (int i = 0; i < 30; ++i) thirty += "f" + std::to_string(i) + ";";
  const std::string wide(400, 'w');
  std::string huge = "0000;";
  while (huge.size() < 4000) huge += std::string(170, 'h') + ";";
  std::string beyondCapacity = "0000;";
  while (beyondCapacity.size() < 3 * frame::AnswerReader::kCapacity) beyondCapacity += std::string(300, 'z') + ";";

  struct Case {
    const char* name;
    Bytes bytes;
    int count;
    bool statusFound;
  };
  const Case cases[] = {
      {"30 fields", answerFrame(text(thirty)), 20, true},
      {"400-byte fields", answerFrame(text("0000;" + wide + ";" + wide + ";")), 2, true},
      {"4000-byte answer", answerFrame(text(huge)), 20, true},
      {"answer past the reader's capacity", answerFrame(text(beyondCapacity)), 20, false},
      {"stray 0x04 and NUL bytes",
       answerFrame(join({text("0000;a"), {0x04, 0x04}, text(wide + ";"), {0x00, 0x04}, text(";;")})), 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Parsed p = read(c.bytes);
    ASSERT_EQ(p.state, State::Frame);
    EXPECT_TRUE(p.whole);  // judged over all of it, stored or not
    EXPECT_EQ(p.answer.fieldCount, c.count);
    for (int i = 0; i < kMaxAnswerFields; ++i) EXPECT_LE(std::strlen(p.answer.fields[i]), 149u) << i;
    EXPECT_EQ(p.answer.status[0] == 0x80, c.statusFound);
  }
  const Parsed thirtyFields = read(answerFrame(text(thirty)));
  EXPECT_STREQ(thirtyFields.answer.fields[19], "f19");
  const Parsed wideFields = read(answerFrame(text("0000;" + wide + ";")));
  EXPECT_EQ(std::string(wideFields.answer.fields[0]), wide.substr(0, 149));
}

TEST(DeviceFrame, LongSynRunIsCountedNotStored) {
  const Bytes answer = join({Bytes(100000, 0x16), answerFrame(text("0000;7;"))});
  const Parsed p = read(answer, {4096, 4096, 4096});
  ASSERT_EQ(p.state, State::Frame);
  EXPECT_EQ(p.answer.frameStart, 100000);
  EXPECT_EQ(fields(p.answer), std::vector<std::string>{"7"});
}

bool sameAnswer(const Answer& a, const Answer& b) {
  return std::memcmp(a.errorCode, b.errorCode, sizeof a.errorCode) == 0 &&
         std::memcmp(a.fields, b.fields, sizeof a.fields) == 0 && a.fieldCount == b.fieldCount &&
         a.frameStart == b.frameStart && a.timedOut == b.timedOut &&
         std::memcmp(a.status, b.status, sizeof a.status) == 0;
}

TEST(DeviceFrame, PiecesGiveTheSameAnswerAsOneRead) {
  std::string many = "0000;";
  for (int i = 0; i < 25; ++i) many += std::string(i * 7, 'a' + i % 26) + ";";
  const Bytes answers[] = {
      join({{0x16, 0x16}, answerFrame(text("0000;12.50;0.00;"))}),
      answerFrame(text("0A05;")),
      join({{0x16}, answerFrame(text(many))}),
  };
  std::mt19937 random(7);
  for (const Bytes& answer : answers) {
    const Parsed whole = read(answer);
    ASSERT_EQ(whole.state, State::Frame);
    for (size_t split = 1; split < answer.size(); ++split) {
      const Parsed p = read(answer, {split});
      ASSERT_EQ(p.state, State::Frame) << split;
      EXPECT_TRUE(sameAnswer(p.answer, whole.answer)) << split;
    }
    for (int round = 0; round < 20; ++round) {
      std::vector<size_t> pieces;
      for (size_t total = 0; total < answer.size();) {
        pieces.push_back(1 + random() % 40);
        total += pieces.back();
      }
      const Parsed p = read(answer, pieces);
      ASSERT_EQ(p.state, State::Frame);
      EXPECT_TRUE(sameAnswer(p.answer, whole.answer)) << round;
    }
  }
}

TEST(DeviceFrame, ParseReplacesThePreviousAnswer) {
  Answer a;
  const Parsed first = read(answerFrame(text("0000;1;2;3;")));
  a = first.answer;
  a.timedOut = true;
  const Bytes second = answerFrame(text("0A05;x;"), {9, 9, 9, 9, 9, 9});
  frame::parseAnswer(second.data(), second.size(), 0, a);
  EXPECT_FALSE(a.timedOut);
  EXPECT_STREQ(a.errorCode, "0A05");
  EXPECT_EQ(fields(a), std::vector<std::string>{"x"});
  EXPECT_STREQ(a.fields[1], "");
  EXPECT_EQ(status(a), Bytes(6, 9));
}

TEST(DeviceFrame, TimedOutStateKeepsOnlyTheCode) {
  Answer a = read(answerFrame(text("0A05;1;2;"))).answer;
  a.setTimedOut();
  EXPECT_TRUE(a.timedOut);
  EXPECT_STREQ(a.errorCode, "0A05");
  EXPECT_EQ(a.fieldCount, 0);
  for (const auto& slot : a.fields) EXPECT_EQ(slot[0], 0);
  EXPECT_EQ(status(a), Bytes(6, 0));
}

}  // namespace
}  // namespace ostrel
