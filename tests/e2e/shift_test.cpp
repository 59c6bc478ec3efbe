// A working day on the simulated printer through the command set: the
// answers, the status, the counters and the paper tape.
#include <algorithm>

#include "fixture.h"

namespace e2e {
namespace {

bool tapeHas(const std::vector<std::string>& tape, const std::string& text) {
  return std::any_of(tape.begin(), tape.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

TEST_F(Printer, ShiftOfSaleRefundServiceAndZReport) {
  connect();
  auto ok = [&] { return utf8(propText(u"ErrorCode")); };

  // Cash in on a service receipt.
  proc(u"OpenCashReceipt");
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 4u);
  proc(u"ServCashInOut", {T(u"482915"), T(u"100.00")});
  EXPECT_EQ(ok(), "0000");
  proc(u"CloseReceipt");
  EXPECT_EQ(ok(), "0000");
  EXPECT_DOUBLE_EQ(func(u"ServiceInF").result.real, 100.0);

  // A sale: program and sell, discount, total, cash.
  proc(u"BegFiscalReceipt");
  EXPECT_EQ(ok(), "0000");
  EXPECT_TRUE(proc(u"ProgSaleArticle",
                   {T(u"482915"), T(u"Milk"), I(5), I(1), T(u"00"), T(u""), T(u"2,000"), T(u"10,50")}).ok);
  EXPECT_EQ(ok(), "0000");
  proc(u"DiscountAbsArt", {T(u"482915"), T(u"1.00")});
  EXPECT_EQ(ok(), "0000");
  proc(u"TotalByCash", {T(u"482915"), T(u"50.00")});
  EXPECT_EQ(ok(), "0000");
  proc(u"CloseReceipt");
  EXPECT_EQ(ok(), "0000");
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 0u);
  EXPECT_EQ(propNumber(u"ShiftStatus"), 1u);
  EXPECT_DOUBLE_EQ(func(u"SumTradeF").result.real, 20.0);
  EXPECT_DOUBLE_EQ(func(u"SumCashF").result.real, 120.0);

  // A refund of one milk, sold by its code.
  uint32_t code = 0;
  sim.withPrinter([&](datecs_sim::Printer& p) {
    datecs_sim::Article a;
    if (p.article(178855, a)) code = a.code;
  });
  ASSERT_EQ(code, 178855u);
  proc(u"BegRefundReceipt");
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 3u);
  proc(u"SellArticul", {T(u"482915"), T(u"178855"), T(u"1.000"), T(u"10.50")});
  EXPECT_EQ(ok(), "0000");
  proc(u"TotalByCash", {T(u"482915"), T(u"10.50")});
  EXPECT_EQ(ok(), "0000");
  proc(u"CloseReceipt");
  EXPECT_DOUBLE_EQ(func(u"SumRefundF").result.real, 10.5);
  EXPECT_EQ(utf8(func(u"SumCash").result.text), "109.50");

  proc(u"PrintXReportL");
  EXPECT_EQ(ok(), "0000");
  proc(u"PrintZReportL");
  EXPECT_EQ(ok(), "0000");
  EXPECT_EQ(propNumber(u"ShiftStatus"), 0u);
  EXPECT_DOUBLE_EQ(func(u"SumCashF").result.real, 0.0);
  EXPECT_DOUBLE_EQ(func(u"SumTradeF").result.real, 0.0);

  auto tape = sim.tape();
  EXPECT_TRUE(tapeHas(tape, "Milk"));
  EXPECT_TRUE(tapeHas(tape, "100.00"));
  EXPECT_TRUE(tapeHas(tape, "Z"));
  EXPECT_EQ(sim.badFrames(), 0u);
}

TEST_F(Printer, RefusalsComeBackAsCodesNotFailures) {
  connect();
  // Selling with no receipt open: the printer refuses, the call succeeds.
  EXPECT_TRUE(proc(u"SellArticul").ok);
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "000B");
  EXPECT_EQ(utf8(propText(u"ErrorDescription")), "Неверное состояние документа");
  EXPECT_TRUE(proc(u"PrintXReportL", {T(u"999999")}).ok);
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0006");
  proc(u"BegFiscalReceipt");
  proc(u"SellArticul", {T(u"482915"), T(u"424242")});
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "020A");
}

TEST_F(Printer, ArticlesProgrammedAndReadBack) {
  connect();
  proc(u"ProgramArticle", {T(u"482915"), T(u"77"), T(u"Bread"), I(1), I(2), T(u"00"), T(u"t2")});
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0000");
  proc(u"ProgramArticle", {T(u"482915"), T(u"77"), T(u"Other")});
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "040A");
  proc(u"ReadArticulCod", {T(u"482915"), I(77)});
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0000");
  ASSERT_GE(propNumber(u"Counter"), 2u);
  EXPECT_EQ(utf8(c->callFunc(u"RetItem", {T(u""), I(1)}).result.text), "Bread");
}

TEST_F(Printer, QrCodeDataReadBackInOrder) {
  connect();
  proc(u"BeginNonFiscal");
  proc(u"PrintQRcode", {T(u"482915"), T(u"https://example.test/r/1")});
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0000");
  proc(u"QRInfo", {T(u"482915"), I(1), T(u"info")});
  proc(u"ReadQRExt");
  ASSERT_GE(propNumber(u"Counter"), 1u);
  EXPECT_EQ(utf8(c->callFunc(u"RetItem", {T(u""), I(0)}).result.text), "https://example.test/r/1");
}

}  // namespace
}  // namespace e2e
