// The trace's frame reader: frames cut anywhere, SYN and NAK between them,
// broken frames shown as what they are.
#include <gtest/gtest.h>

#include "frames.h"

namespace addinhost {
namespace {

// Command 0x80, sequence 0x25, data "abc".
const std::vector<uint8_t> kRequest = {0x01, 0x27, 0x25, 0x80, 0x61, 0x62, 0x63, 0x05, 0x30, 0x31, 0x3F, 0x37, 0x03};
// Answer with code 0000, fields "12.50" and "0.00", status 80 80 88 80 86 80.
const std::vector<uint8_t> kAnswer = {0x01, 0x3B, 0x25, 0x40, 0x30, 0x30, 0x30, 0x30, 0x3B, 0x31, 0x32,
                                      0x2E, 0x35, 0x30, 0x3B, 0x30, 0x2E, 0x30, 0x30, 0x3B, 0x04, 0x80,
                                      0x80, 0x88, 0x80, 0x86, 0x80, 0x05, 0x30, 0x36, 0x3D, 0x3C, 0x03};

std::vector<WireEvent> read(const std::vector<uint8_t>& bytes, size_t piece) {
  WireReader r;
  std::vector<WireEvent> out;
  for (size_t i = 0; i < bytes.size(); i += piece) r.feed(bytes.data() + i, std::min(piece, bytes.size() - i), out);
  r.flush(out);
  return out;
}

TEST(Frames, RequestDecoded) {
  WireEvent e = decodeFrame(kRequest);
  ASSERT_EQ(e.kind, WireEvent::Frame);
  EXPECT_FALSE(e.answer);
  EXPECT_EQ(e.seq, 0x25);
  EXPECT_EQ(e.command, 0x80);
  EXPECT_EQ(e.data, "abc");
  EXPECT_TRUE(e.lengthOk);
  EXPECT_TRUE(e.checksumOk);
}

TEST(Frames, AnswerDecodedWithFieldsAndStatus) {
  WireEvent e = decodeFrame(kAnswer);
  ASSERT_EQ(e.kind, WireEvent::Frame);
  EXPECT_TRUE(e.answer);
  EXPECT_EQ(e.errorCode, "0000");
  EXPECT_EQ(e.fields, (std::vector<std::string>{"12.50", "0.00"}));
  EXPECT_EQ(e.status, (std::array<uint8_t, 6>{0x80, 0x80, 0x88, 0x80, 0x86, 0x80}));
  EXPECT_TRUE(e.lengthOk);
  EXPECT_TRUE(e.checksumOk);
  std::string text = describe(e, "FP>PC", 12.0);
  EXPECT_NE(text.find("[0]\"12.50\" [1]\"0.00\""), std::string::npos) << text;
  EXPECT_NE(text.find("01 3B 25 40"), std::string::npos) << text;
}

TEST(Frames, StreamInAnyPiecesWithSynAndNak) {
  std::vector<uint8_t> stream = {0x16, 0x16, 0x16};
  stream.insert(stream.end(), kAnswer.begin(), kAnswer.end());
  stream.push_back(0x15);
  stream.insert(stream.end(), kRequest.begin(), kRequest.end());
  for (size_t piece : {1u, 2u, 7u, 100u}) {
    auto events = read(stream, piece);
    ASSERT_EQ(events.size(), 4u) << "pieces of " << piece;
    EXPECT_EQ(events[0].kind, WireEvent::Syn);
    EXPECT_EQ(events[0].bytes.size(), 3u);
    EXPECT_EQ(events[1].kind, WireEvent::Frame);
    EXPECT_TRUE(events[1].answer);
    EXPECT_EQ(events[2].kind, WireEvent::Nak);
    EXPECT_EQ(events[3].kind, WireEvent::Frame);
    EXPECT_EQ(events[3].data, "abc");
  }
}

TEST(Frames, DamageIsShownNotHidden) {
  auto badSum = kRequest;
  badSum[9] = 0x32;
  EXPECT_FALSE(decodeFrame(badSum).checksumOk);
  auto badLength = kRequest;
  badLength[1] = 0x28;
  EXPECT_FALSE(decodeFrame(badLength).lengthOk);

  // Bytes before a frame and a frame cut short come out as junk.
  std::vector<uint8_t> stream = {'x', 'y'};
  stream.insert(stream.end(), kRequest.begin(), kRequest.end());
  stream.insert(stream.end(), kAnswer.begin(), kAnswer.begin() + 12);
  auto events = read(stream, 5);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, WireEvent::Junk);
  EXPECT_EQ(events[0].bytes.size(), 2u);
  EXPECT_EQ(events[1].kind, WireEvent::Frame);
  EXPECT_EQ(events[2].kind, WireEvent::Junk);
  EXPECT_EQ(events[2].bytes.size(), 12u);
}

TEST(Frames, TextInTheSystemCodePageIsShownAsLetters) {
  EXPECT_EQ(bytesAsText("\xCC\xEE\xEB\xEE\xEA\xEE;1"), "Молоко;1");
  EXPECT_EQ(bytesAsText("\xA8\xB9\x88"), "Ё№€");
  EXPECT_EQ(bytesAsText(std::string("a\x04\x00", 3)), "a\\x04\\x00");
  // Unassigned in the code page: shown as the byte.
  EXPECT_EQ(bytesAsText("\x98"), "\\x98");
}

// The trace shows an answer as the component reads it: a field longer than
// the component keeps is shown cut where the component cuts it.
TEST(Frames, AnswerFieldsAreTheComponentsReading) {
  const std::string field(160, 'x');
  const std::string data = "0000;" + field + ";\x04\x80\x80\x80\x80\x80\x80";
  uint8_t frame[256];
  size_t n = ostrel::frame::buildRequest(0x80, 5, data, frame, sizeof frame);
  ASSERT_GT(n, 0u);
  WireEvent e = decodeFrame(std::vector<uint8_t>(frame, frame + n));
  ASSERT_TRUE(e.answer);
  EXPECT_TRUE(e.checked && e.lengthOk && e.checksumOk);
  ASSERT_EQ(e.fields.size(), 1u);
  EXPECT_EQ(e.fields[0], field.substr(0, ostrel::kAnswerSlotSize - 1));
}

TEST(Frames, StatusInWords) {
  std::string s = describeStatus({0xA0, 0x80, 0x93, 0x80, 0x80, 0x90});
  EXPECT_NE(s.find("error"), std::string::npos) << s;
  EXPECT_NE(s.find("refund receipt"), std::string::npos) << s;
  EXPECT_NE(s.find("shift open"), std::string::npos) << s;
  EXPECT_NE(s.find("0.5 2.0 2.1 2.4 5.4"), std::string::npos) << s;
}

}  // namespace
}  // namespace addinhost
