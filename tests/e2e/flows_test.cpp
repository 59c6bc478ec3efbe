// Multi-frame methods: payments by receipt state, the article code search,
// the copy of the last receipt.
#include "fixture.h"

namespace e2e {
namespace {

using datecs_sim::Fault;

std::vector<uint8_t> commands(const std::vector<datecs_sim::Request>& requests) {
  std::vector<uint8_t> out;
  for (const auto& r : requests) out.push_back(r.command);
  return out;
}

int step(uint8_t a, uint8_t b) { return ((b - 0x20) - (a - 0x20) + 95) % 95; }

TEST_F(Printer, CashPaymentPrintsTheTotalOnlyBeforeIt) {
  connect();
  // No receipt: status, then straight to the payment.
  proc(u"TotalByCash", {T(u"482915"), T(u"5.00")});
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{128, 103}));
  EXPECT_EQ(lastSent().data, "482915;0;5.00;");
  EXPECT_EQ(utf8(propText(u"LastCmd")), "5.00");

  // State 1 (opened, nothing sold) and state 2 (sold): the total goes first.
  proc(u"BegFiscalReceipt");
  sim.clearRequests();
  proc(u"TotalByCash", {T(u"482915"), T(u"12,50")});
  auto frames = sent();
  ASSERT_EQ(commands(frames), (std::vector<uint8_t>{128, 109, 103}));
  EXPECT_EQ(frames[1].data, "482915;1;");
  EXPECT_EQ(frames[2].data, "482915;0;12,50;");
  EXPECT_EQ(step(frames[0].seq, frames[1].seq), 1);
  EXPECT_EQ(step(frames[1].seq, frames[2].seq), 1);
}

TEST_F(Printer, CardPaymentPrintsTheTotalOnlyAfterSales) {
  connect();
  proc(u"BegFiscalReceipt");
  sim.clearRequests();
  proc(u"TotalByCard", {T(u"482915"), I(1), T(u"1.00"), T(u"ref")});
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{128, 120}));  // state 1
  EXPECT_EQ(lastSent().data, "482915;1;1.00;ref;");
  EXPECT_EQ(utf8(propText(u"LastCmd")), "482915");

  proc(u"ResetReceipt");
  proc(u"ProgramArticle", {T(u"482915"), T(u"5"), T(u"Bread")});
  proc(u"BegFiscalReceipt");
  proc(u"SellArticul", {T(u"482915"), T(u"5"), T(u"1.000"), T(u"2.00")});
  ASSERT_EQ(propNumber(u"ReceiptStatus"), 2u);
  sim.clearRequests();
  proc(u"TotalByCard", {T(u"482915"), I(0), T(u"2.00"), T(u"")});
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{128, 109, 120}));  // state 2
}

TEST_F(Printer, PaymentAfterASilentStatusRequestStillPays) {
  connect();
  proc(u"BegFiscalReceipt");
  sim.clearRequests();
  sim.inject(Fault{Fault::Silence, 128});
  proc(u"TotalByCash", {T(u"482915"), T(u"1.00")});
  // The status request went unanswered: its status reads 0, no total.
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{128, 103}));
}

TEST_F(Printer, ProgramAndSellDerivesTheCodeAndSellsUnderIt) {
  connect();
  auto r = proc(u"ProgSaleArticle",
                {T(u"482915"), T(u"Milk"), I(5), I(1), T(u"00"), T(u""), T(u"2,5"), T(u"10,50")});
  EXPECT_TRUE(r.ok);
  auto frames = sent();
  ASSERT_EQ(commands(frames), (std::vector<uint8_t>{36, 100}));
  EXPECT_EQ(frames[0].data, "482915;178855;Milk;5;1;00;;");
  EXPECT_EQ(frames[1].data, "482915;178855;2.5;10.50;");
  EXPECT_EQ(step(frames[0].seq, frames[1].seq), 1);
  EXPECT_EQ(utf8(propText(u"LastCmd")), "10,50");
}

TEST_F(Printer, ProgramAndSellCleansTheNameAndUsesTheLongRecord) {
  connect();
  proc(u"PrgSaleArticleNew", {T(u"482915"), T(u";Milk\r\nfat"), I(5), I(1), T(u"a;b"), T(u""), T(u""), T(u"")});
  auto frames = sent();
  ASSERT_EQ(commands(frames), (std::vector<uint8_t>{87, 100}));
  EXPECT_NE(frames[0].data.find(";,Milk  fat;5;1;a;b;;;;"), std::string::npos) << frames[0].data;

  // Text 4 joins the identity: with it empty, Milk/5 gives Milk5's code.
  sim.clearRequests();
  proc(u"PrgSaleArticleNew", {T(u"482915"), T(u"Milk"), I(5), I(1), T(u"00"), T(u""), T(u""), T(u"")});
  EXPECT_EQ(sent().at(0).data.substr(0, 14), "482915;178855;");
  sim.clearRequests();
  proc(u"PrgSaleArticleNew", {T(u"482915"), T(u"Milk"), I(5), I(1), T(u"00"), T(u""), T(u""), T(u"x")});
  EXPECT_NE(sent().at(0).data.substr(0, 14), "482915;178855;");
}

TEST_F(Printer, CodeSearchSkipsOccupiedCodes) {
  connect();
  // An empty name with number 0 has the identity "0": code 50209.
  proc(u"ProgramArticle", {T(u"482915"), T(u"50209"), T(u"Other")});
  proc(u"ProgramArticle", {T(u"482915"), T(u"50210"), T(u"Other")});
  sim.clearRequests();
  auto r = proc(u"ProgSaleArticle", {T(u"482915"), T(u""), I(0)});
  EXPECT_TRUE(r.ok);
  auto frames = sent();
  ASSERT_EQ(commands(frames), (std::vector<uint8_t>{36, 36, 36, 100}));
  EXPECT_EQ(frames[0].data.substr(0, 13), "482915;50209;");
  EXPECT_EQ(frames[1].data.substr(0, 13), "482915;50210;");
  EXPECT_EQ(frames[2].data.substr(0, 13), "482915;50211;");
  EXPECT_EQ(frames[3].data.substr(0, 13), "482915;50211;");
}

TEST_F(Printer, CodeSearchStopsOnRefusalOrSilenceAndSellsNothing) {
  connect();
  sim.setErrorFor(36, "0006");
  EXPECT_FALSE(proc(u"ProgSaleArticle", {T(u"482915"), T(u"Milk"), I(5)}).ok);
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{36}));
  sim.clearFaults();

  sim.clearRequests();
  sim.inject(Fault{Fault::Silence, 36});
  EXPECT_FALSE(proc(u"ProgSaleArticle", {T(u"482915"), T(u"Milk"), I(5)}).ok);
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{36}));
}

TEST_F(Printer, CodeSearchEndsAfterItsBound) {
  connect();
  sim.setErrorFor(36, "040A");
  EXPECT_FALSE(proc(u"ProgSaleArticle", {T(u"482915"), T(u"Milk"), I(5)}).ok);
  auto frames = sent();
  EXPECT_EQ(frames.size(), 1000u);
  EXPECT_EQ(frames.back().command, 36);
}

TEST_F(Printer, CopyLastReceiptCopiesTheNumberTheQueryGives) {
  connect();
  proc(u"BegFiscalReceipt");
  proc(u"TotalByCash", {T(u"482915"), T(u"0.00")});
  proc(u"CloseReceipt");
  int last = sim.state().lastReceipt;
  ASSERT_GT(last, 0);
  sim.clearRequests();
  proc(u"CopyLastReceipt");
  auto frames = sent();
  ASSERT_EQ(commands(frames), (std::vector<uint8_t>{226, 235}));
  EXPECT_EQ(frames[0].data, "482915;3;");
  std::string n = std::to_string(last);
  EXPECT_EQ(frames[1].data, "482915;" + n + ";" + n + ";");
  EXPECT_EQ(utf8(func(u"RetItem", {T(u""), I(0)}).result.text), frames[1].data);
}

TEST_F(Printer, CopyLastReceiptSendsNoCopyWithoutANumber) {
  connect();
  Fault refusal{Fault::ErrorCode, 226};
  refusal.errorCode = "070B";
  sim.inject(refusal);
  proc(u"CopyLastReceipt");
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{226}));
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "070B");

  sim.clearRequests();
  sim.inject(Fault{Fault::Silence, 226});
  proc(u"CopyLastReceipt");
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{226}));
}

// A receipt number so long that the copy request would not fit its 199
// characters: the copy is refused, not cut, and nothing more is sent.
TEST_F(Printer, CopyLastReceiptRefusesACopyRequestTooLong) {
  connect();
  Fault longNumber{Fault::Oversized, 226};
  longNumber.fields = 1;
  longNumber.fieldLength = 100;  // "482915;" + 100 + ";" + 100 + ";" = 209
  longNumber.strayBytes = false;
  sim.inject(longNumber);
  EXPECT_FALSE(proc(u"CopyLastReceipt").ok);
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{226}));

  sim.clearRequests();
  longNumber.fieldLength = 95;  // 199: fits
  sim.inject(longNumber);
  EXPECT_TRUE(proc(u"CopyLastReceipt").ok);
  EXPECT_EQ(commands(sent()), (std::vector<uint8_t>{226, 235}));
}

}  // namespace
}  // namespace e2e
