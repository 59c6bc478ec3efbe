#include <gtest/gtest.h>

#include "sim/frame.h"
#include "sim/printer.h"

using namespace datecs_sim;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(static_cast<uint8_t>(b));
  return v;
}

std::vector<uint8_t> text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<FrameDecoder::Event> decodeAll(const std::vector<uint8_t>& in, bool byteByByte = false) {
  FrameDecoder d;
  std::vector<FrameDecoder::Event> out;
  if (byteByByte) {
    for (uint8_t b : in) d.feed(&b, 1, out);
  } else {
    d.feed(in.data(), in.size(), out);
  }
  return out;
}

}  // namespace

TEST(Frame, RequestGoldenBytes) {
  EXPECT_EQ(encodeRequest(0x25, 0x80, "abc"), bytes({0x01, 0x27, 0x25, 0x80, 0x61, 0x62, 0x63, 0x05, 0x30, 0x31, 0x3F, 0x37, 0x03}));
  // Empty data: ten bytes, length byte 0x24; sum 0x24+0x20+0x80+0x05 = 0xC9.
  EXPECT_EQ(encodeRequest(0x20, 0x80, ""), bytes({0x01, 0x24, 0x20, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x39, 0x03}));
}

TEST(Frame, AnswerGoldenBytes) {
  auto a = encodeAnswer(0x25, 0x80, "0000", {"12.50", "0.00"}, Status{0x80, 0x80, 0x88, 0x80, 0x86, 0x80});
  EXPECT_EQ(a, bytes({0x01, 0x3B, 0x25, 0x80, 0x30, 0x30, 0x30, 0x30, 0x3B, 0x31, 0x32, 0x2E, 0x35, 0x30, 0x3B, 0x30, 0x2E,
                      0x30, 0x30, 0x3B, 0x04, 0x80, 0x80, 0x88, 0x80, 0x86, 0x80, 0x05, 0x30, 0x37, 0x31, 0x3C, 0x03}));
  Answer d;
  ASSERT_TRUE(decodeAnswer(a, d));
  EXPECT_TRUE(d.checksumOk);
  EXPECT_TRUE(d.lengthOk);
  EXPECT_EQ(d.code, "0000");
  EXPECT_EQ(d.fields, (std::vector<std::string>{"12.50", "0.00"}));
  // No fields: the 0x04 follows the code's ';' directly.
  auto e = encodeAnswer(0x30, 0x64, "020A", {}, Status{0x80, 0x80, 0x81, 0x80, 0x80, 0x90});
  EXPECT_EQ(e[8], ';');
  EXPECT_EQ(e[9], 0x04);
  ASSERT_TRUE(decodeAnswer(e, d));
  EXPECT_EQ(d.code, "020A");
  EXPECT_TRUE(d.fields.empty());
  EXPECT_EQ(d.status[5], 0x90);
}

struct DecodeCase {
  const char* name;
  std::vector<uint8_t> input;
  std::vector<int> expect;  // per event: -1 bad, otherwise the command of a good frame
};

TEST(Frame, DecoderCases) {
  auto good = encodeRequest(0x25, 0x80, "abc");
  auto badSum = good;
  badSum[10] ^= 0x01;
  auto badLen = good;
  badLen[1] = 0x28;
  auto badSeq = encodeRequest(0x7F, 0x80, "abc");
  auto badTail = good;
  badTail.back() = 0x04;
  auto cmd5 = encodeRequest(0x21, 0x05, "x;");
  std::vector<uint8_t> noise = text("\xFF\x16zz");
  auto cat = [](std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> v;
    for (auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
  };
  std::vector<uint8_t> truncated(good.begin(), good.begin() + 6);
  const std::vector<DecodeCase> cases = {
      {"example", good, {0x80}},
      {"noise before the frame is skipped", cat({noise, good}), {0x80}},
      {"bad checksum", badSum, {-1}},
      {"bad length byte", badLen, {-1}},
      {"sequence byte out of range", badSeq, {-1}},
      {"wrong last byte", badTail, {-1}},
      {"command byte 0x05 is not the end of data", cmd5, {0x05}},
      {"two frames in one read", cat({good, cmd5}), {0x80, 0x05}},
      {"a new start abandons a cut frame", cat({truncated, good}), {-1, 0x80}},
      {"a bad frame does not hide the next", cat({badSum, good}), {-1, 0x80}},
  };
  for (const auto& c : cases) {
    for (bool slow : {false, true}) {
      auto events = decodeAll(c.input, slow);
      std::vector<int> got;
      for (auto& e : events) got.push_back(e.bad ? -1 : e.request.command);
      EXPECT_EQ(got, c.expect) << c.name << (slow ? " (byte by byte)" : "");
    }
  }
  auto events = decodeAll(good);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].request.seq, 0x25);
  EXPECT_EQ(events[0].request.data, "abc");
}

TEST(Frame, OverlongFrameWithoutEndIsBad) {
  std::vector<uint8_t> in = {0x01, 0x24, 0x20, 0x80};
  in.resize(FrameDecoder::kMaxFrame + 10, 'a');
  auto events = decodeAll(in);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0].bad);
}

// A frame dropped after its 0x05 (a stall on the line) must not leave its
// end position behind: the next frame is read from scratch, so a 0x05 in its
// data ends it where it stands.
TEST(Frame, ResetForgetsAPartialFrameEntirely) {
  FrameDecoder d;
  std::vector<FrameDecoder::Event> out;
  std::vector<uint8_t> partial = encodeRequest(0x21, 0x80, "4829151");
  partial.resize(partial.size() - 3);  // up to and past the 0x05, without the end
  d.feed(partial.data(), partial.size(), out);
  EXPECT_TRUE(out.empty());
  d.reset();
  std::vector<uint8_t> next = encodeRequest(0x22, 0x80, "abc");
  d.feed(next.data(), next.size(), out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_FALSE(out[0].bad);
  EXPECT_EQ(out[0].request.data, "abc");
  EXPECT_EQ(out[0].request.seq, 0x22);
}

TEST(Frame, FixedPointTexts) {
  struct Case {
    const char* text;
    int decimals;
    bool ok;
    int64_t value;
  };
  const Case cases[] = {
      {"1234.50", 2, true, 123450}, {"10.5", 2, true, 1050}, {"2.5", 3, true, 2500}, {"-50.00", 2, true, -5000},
      {"7", 2, true, 700},          {".5", 2, true, 50},     {"12,50", 2, false, 0}, {"1.234", 2, false, 0},
      {"", 2, false, 0},            {"-", 2, false, 0},      {"1e3", 2, false, 0},   {" 1", 2, false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = 0;
    EXPECT_EQ(parseFixed(c.text, c.decimals, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(formatFixed(123450, 2), "1234.50");
  EXPECT_EQ(formatFixed(-5, 2), "-0.05");
  EXPECT_EQ(formatFixed(2500, 3), "2.500");
}
