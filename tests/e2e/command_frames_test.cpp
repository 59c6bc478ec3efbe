// Every command method of the script command set sends exactly its frame:
// command code and data field, from the declared defaults and from given
// arguments; LastCmd shows the text that passed through it last.
#include "fixture.h"

namespace e2e {
namespace {

struct FrameCase {
  const char16_t* method;
  std::vector<Value> args;  // missing ones take the declared defaults
  uint8_t command;
  std::string data;
  const char16_t* lastCmd;
};

std::string semis(int n) { return std::string(static_cast<size_t>(n), ';'); }

const std::vector<FrameCase>& frameCases() {
  static const std::vector<FrameCase> cases = {
      // receipts
      {u"BegFiscalReceipt", {}, 99, "482915;1;1;0;", u"482915"},
      {u"BegFiscalReceipt", {T(u""), I(1), I(1)}, 99, ";1;1;0;", u""},
      {u"BegFiscalReceipt", {T(u"1"), I(-1), I(0)}, 99, "1;-1;0;0;", u"1"},
      {u"BegRefundReceipt", {}, 99, "482915;1;1;1;", u"482915"},
      {u"OpenCashReceipt", {}, 99, "482915;1;1;2;", u"482915"},
      {u"BeginNonFiscal", {}, 96, "482915;", u"482915"},
      {u"CloseReceipt", {}, 101, "482915;;", u"482915"},
      {u"ResetReceipt", {}, 107, "482915;0;", u"482915"},
      {u"ResetReceipt", {T(u"")}, 107, ";0;", u""},
      // sales and discounts
      {u"SellArticul", {}, 100, "482915;1;1.000;1.00;", u"482915"},
      {u"SellArticul", {T(u"482915"), T(u"7"), T(u"2,5"), T(u"10.50")}, 100, "482915;7;2,5;10.50;", u"482915"},
      {u"DiscountPersArt", {T(u"482915"), T(u"")}, 104, "482915;;", u""},
      {u"DiscountAbsArt", {T(u"482915"), T(u"5.00")}, 105, "482915;5.00;", u"5.00"},
      {u"DiscountPersSum", {T(u"482915"), T(u"-10")}, 115, "482915;-10;", u"-10"},
      {u"DiscountAbsSum", {}, 116, "482915;0.00;", u"0.00"},
      // totals and payouts
      {u"PrintTotal", {}, 109, "482915;0;", u"482915"},
      {u"PayCash2", {}, 122, "482915;0;" + semis(8), u"482915"},
      {u"PayCash3", {}, 122, "482915;" + semis(8), u"482915"},
      // texts, barcodes, QR
      {u"PrintComment", {T(u"482915"), T(u"Hello")}, 97, "482915;Hello;", u"Hello"},
      {u"PrintComment", {}, 97, "482915;;", u""},
      {u"PrintComment", {T(u"482915"), T(u"a;b")}, 97, "482915;a;b;", u"a;b"},
      {u"PrintBarCodeL", {}, 113, "482915;1;2;1;0;;", u""},
      {u"PrintBarCodeL", {T(u"482915"), I(1), I(2), I(1), I(0), T(u"4607123456780")}, 113,
       "482915;1;2;1;0;4607123456780;", u"4607123456780"},
      {u"PrintQRcode", {T(u"482915"), T(u"ABC")}, 228, "482915;ABC;4;", u"482915"},
      {u"QRInfo", {T(u"482915"), I(3), T(u"info")}, 229, "482915;3;info;", u"482915"},
      {u"ReadQRExt", {}, 230, "482915;", u"482915"},
      // excise sale, electronic payment, service cash
      {u"MakeExciseSale", {}, 124, "482915;0;" + semis(8), u"482915"},
      {u"MakeExciseSale", {T(u"482915"), I(-2), T(u"a"), T(u"b")}, 124, "482915;-2;a;b;" + semis(6), u"482915"},
      {u"MakeElektrPayment", {}, 123, "482915;0;" + semis(10), u"482915"},
      {u"ServCashInOut", {}, 119, "482915;0;0.00;", u"0.00"},
      {u"ServCashInOut", {T(u"482915"), T(u"-50.00")}, 119, "482915;0;-50.00;", u"-50.00"},
      {u"ServCashInOut", {T(u"482915"), T(u"")}, 119, "482915;0;;", u""},
      // numbers for text parameters go out as plain decimals
      {u"ServCashInOut", {T(u"482915"), Value::r8(100000.0)}, 119, "482915;0;100000;", u"100000"},
      {u"SellArticul", {T(u"482915"), I(7), Value::r8(2.5), Value::r8(0.0001)}, 100, "482915;7;2.5;0.0001;", u"482915"},
      {u"DiscountAbsSum", {T(u"482915"), Value::r8(1e6)}, 116, "482915;1000000;", u"1000000"},
      // reports
      {u"PrintXReportL", {}, 161, "482915;1;", u"482915"},
      {u"PrintZReportL", {}, 161, "482915;0;", u"482915"},
      {u"PrintXReportL", {T(u"")}, 161, ";1;", u""},
      {u"PeriodicReportByDate", {}, 162, "482915;010116;010116;0;", u"482915"},
      {u"PeriodicReportByDate", {T(u"482915"), T(u"01012016"), T(u"31122021"), I(0)}, 162,
       "482915;010116;311221;0;", u"482915"},
      {u"PeriodicReportByNum", {T(u"482915"), I(5), I(12), I(1)}, 163, "482915;5;12;1;", u"482915"},
      {u"PeriodicReportByNum", {T(u"482915"), I(-5), I(0), I(0)}, 163, "482915;-5;0;0;", u"482915"},
      {u"CopyReceipt", {T(u"482915"), I(57)}, 235, "482915;57;57;", u"482915"},
      {u"PrintGoodsReport", {T(u"482915"), I(1), I(0)}, 164, "482915;1;0;", u"482915"},
      // articles
      {u"ProgramArticle", {}, 36, "482915;1;;0;1;00;;", u"482915"},
      {u"ProgramArticle", {T(u"482915"), T(u"007"), T(u"Milk"), I(5), I(1), T(u"00"), T(u"x")}, 36,
       "482915;007;Milk;5;1;00;x;", u"482915"},
      {u"ProgramArticleNew", {}, 87, "482915;1;;0;1;00;;;;", u"482915"},
      {u"ReadArticulCod", {T(u"482915"), I(178855)}, 89, "482915;178855;", u"482915"},
      // operators, parameters, network
      {u"SetOperatorParam", {}, 47, "482915;0;482915; ;", u"482915"},
      {u"SetOperatorParam", {T(u"482915"), I(3), T(u"1111"), T(u"Cashier")}, 47, "482915;3;1111;Cashier;", u"482915"},
      {u"GetCommandParams", {T(u"482915"), I(12)}, 94, "482915;12;", u"482915"},
      {u"TestTCPconn", {}, 151, "482915;", u"482915"},
      // raw
      {u"DirectIO", {T(u"482915"), Value::ui1(0x80), T(u"")}, 0x80, "482915;", u"482915"},
      {u"DirectIO", {T(u"1"), I(0x1E2), T(u"3;")}, 0xE2, "1;3;", u"1"},
  };
  return cases;
}

TEST_F(Printer, EveryCommandMethodSendsItsFrame) {
  connect();
  for (const FrameCase& k : frameCases()) {
    SCOPED_TRACE(utf8(k.method) + " -> " + k.data);
    sim.clearRequests();
    auto r = proc(k.method, k.args);
    EXPECT_TRUE(r.ok);
    auto requests = sent();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].command, k.command);
    EXPECT_EQ(requests[0].data, k.data);
    EXPECT_EQ(utf8(propText(u"LastCmd")), utf8(k.lastCmd));
  }
}

TEST_F(Printer, CommandMethodsRunOnlyAsProcedures) {
  connect();
  for (const char16_t* name : {u"PrintXReportL", u"BegFiscalReceipt", u"SellArticul", u"DirectIO"}) {
    EXPECT_FALSE(func(name).ok) << utf8(name);
  }
  EXPECT_TRUE(sent().empty());
}

// The frame's sequence byte: each method advances the counter by its own
// steps, so consecutive sequence bytes differ by them (mod 95).
TEST_F(Printer, SequenceAdvancesByEachMethodsSteps) {
  connect();
  auto step = [](uint8_t a, uint8_t b) { return ((b - 0x20) - (a - 0x20) + 95) % 95; };
  proc(u"ReadQRExt");
  uint8_t s0 = lastSent().seq;
  proc(u"DirectIO", {T(u"482915"), I(0x80), T(u"")});  // two advances
  uint8_t s1 = lastSent().seq;
  proc(u"BegFiscalReceipt");  // two advances
  uint8_t s2 = lastSent().seq;
  proc(u"SellArticul");  // one
  uint8_t s3 = lastSent().seq;
  EXPECT_EQ(step(s0, s1), 2);
  EXPECT_EQ(step(s1, s2), 2);
  EXPECT_EQ(step(s2, s3), 1);
  for (const auto& r : sent()) {
    EXPECT_GE(r.seq, 0x20);
    EXPECT_LE(r.seq, 0x7E);
  }
}

TEST_F(Printer, FirstSequenceComesFromTheClock) {
  auto fresh = newComponent();
  std::u16string path = abihost::fromUtf8(sim.slavePath());
  fresh->callFunc(u"SetParameter", {T(u"Port"), T(path)});
  uint32_t before = static_cast<uint32_t>(time(nullptr));
  ASSERT_TRUE(fresh->callFunc(u"Open", {T(u"")}).ok);
  uint32_t after = static_cast<uint32_t>(time(nullptr));
  uint8_t seq = lastSent().seq;
  bool matches = false;
  for (uint32_t t = before; t <= after; ++t) matches |= seq == (t % 95) + 0x20;
  EXPECT_TRUE(matches) << int(seq);
}

TEST_F(Printer, TooLongDataFieldIsRefusedAndNothingChanges) {
  connect();
  proc(u"PrintXReportL", {T(u"482915")});
  sim.clearRequests();
  struct Case {
    const char16_t* method;
    std::vector<Value> args;
    bool sent;
  };
  std::u16string t90(90, u'x'), t91(91, u'x'), t189(189, u'y'), t190(190, u'y');
  const Case cases[] = {
      {u"PrintComment", {T(u"482915"), T(t90)}, true},    // 98 characters
      {u"PrintComment", {T(u"482915"), T(t91)}, true},    // 99
      {u"PrintComment", {T(u"482915"), T(t91 + u"x")}, false},  // 100
      {u"SellArticul", {T(u"482915"), T(t189), T(u""), T(u"")}, true},  // 199
      {u"SellArticul", {T(u"482915"), T(t190), T(u""), T(u"")}, false},  // 200
      {u"PrintXReportL", {T(std::u16string(96, u'1'))}, true},  // 99
      {u"PrintXReportL", {T(std::u16string(97, u'1'))}, false},  // 100
      {u"DirectIO", {T(u"482915"), I(0x80), T(std::u16string(192, u'z'))}, true},
      {u"DirectIO", {T(u"482915"), I(0x80), T(std::u16string(193, u'z'))}, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(utf8(k.method));
    sim.clearRequests();
    std::u16string lastCmdBefore = propText(u"LastCmd");
    auto r = proc(k.method, k.args);
    EXPECT_EQ(r.ok, k.sent);
    EXPECT_EQ(sent().size(), k.sent ? 1u : 0u);
    if (!k.sent) {
      EXPECT_EQ(utf8(propText(u"LastCmd")), utf8(lastCmdBefore));
    }
  }
}

// A byte that delimits frames inside a text would end the frame early or
// start another command at the printer: such a call is refused.
TEST_F(Printer, FrameControlBytesInTextsAreRefused) {
  connect();
  const std::u16string texts[] = {u"a\x01" u"b", u"a\x03", u"\x04", u"x\x05y", u"\x01\x2C\x20\x45\x05"};
  for (const auto& text : texts) {
    EXPECT_FALSE(proc(u"PrintComment", {T(u"482915"), T(text)}).ok);
    EXPECT_FALSE(proc(u"DirectIO", {T(u"482915"), I(0x61), T(text)}).ok);
    EXPECT_FALSE(proc(u"ProgSaleArticle", {T(u"482915"), T(text), I(5)}).ok);
  }
  EXPECT_TRUE(sent().empty());
  // Other control characters are the printer's to judge.
  EXPECT_TRUE(proc(u"PrintComment", {T(u"482915"), T(u"a\tb")}).ok);
  EXPECT_EQ(lastSent().data, "482915;a\tb;");
}

TEST_F(Printer, TextsGoOutInTheCodePage) {
  connect();
  proc(u"PrintComment", {T(u"482915"), T(u"Молоко €1 \U0001F600")});
  // Windows-1251: М=CC о=EE л=EB к=EA; € is 0x88; the emoji is one "?".
  EXPECT_EQ(lastSent().data, "482915;\xCC\xEE\xEB\xEE\xEA\xEE \x88" "1 ?;");
}

}  // namespace
}  // namespace e2e
