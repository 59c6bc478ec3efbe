// The printer model without the line: commands in, codes, fields, status and
// tape out.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/codes.h"
#include "sim/printer.h"

using namespace datecs_sim;

namespace {

const std::string PW = "482915";

struct Model : ::testing::Test {
  Printer p{"DT000042"};
  Outcome run(uint8_t cmd, const std::string& rest) { return p.execute(cmd, PW + ";" + rest); }
  void ok(uint8_t cmd, const std::string& rest) {
    auto o = run(cmd, rest);
    ASSERT_EQ(o.code, "0000") << "command " << int(cmd) << " " << rest;
  }
  bool onTape(const std::string& line) {
    auto t = p.tape();
    return std::find(t.begin(), t.end(), line) != t.end();
  }
  // The ReceiptStatus reading a host makes of status byte 2.
  int receiptStatus() {
    uint8_t b = p.status()[2];
    int low = b & 0x0F;
    if (low == 0) return 0;
    if (low == 5) return 1;
    if (low == 7) return 4;
    return (b & 0x10) ? 3 : 2;
  }
};

}  // namespace

TEST_F(Model, WholeSaleThenZ) {
  ok(36, "178855;Milk;5;1;00;;");
  ok(36, "7;Bread;0;1;00;;");
  EXPECT_EQ(p.status()[5] & 0x10, 0);
  ok(99, "1;1;0;");
  EXPECT_EQ(p.status()[5] & 0x10, 0x10);  // the first fiscal receipt opens the shift
  EXPECT_EQ(receiptStatus(), 2);
  ok(100, "178855;2.5;10.50;");
  ok(100, "7;1.000;3.00;");
  ok(104, "10.00;");  // 10 % off the bread
  ok(109, "1;");
  EXPECT_EQ(p.state().receiptState, 3);
  auto pay = run(103, "0;40.00;");
  ASSERT_EQ(pay.code, "0000");
  EXPECT_EQ(pay.fields, (std::vector<std::string>{"0.00", "11.05"}));
  auto close = run(101, ";");
  ASSERT_EQ(close.code, "0000");
  EXPECT_EQ(close.fields.at(0), "1");

  for (const char* line : {"SALE RECEIPT No 1", "Milk  2.500 x 10.50 = 26.25", "Bread  1.000 x 3.00 = 3.00",
                           "DISCOUNT 10.00% = -0.30", "TOTAL 28.95", "CASH 40.00", "CHANGE 11.05",
                           "END OF RECEIPT No 1"})
    EXPECT_TRUE(onTape(line)) << line;
  EXPECT_EQ(run(224, "3;0;0;").fields, std::vector<std::string>{"28.95"});
  EXPECT_EQ(run(224, "2;0;0;").fields, (std::vector<std::string>{"28.95", "0.00"}));
  EXPECT_EQ(run(226, "3;").fields, std::vector<std::string>{"1"});
  EXPECT_EQ(receiptStatus(), 0);

  ok(161, "1;");
  EXPECT_TRUE(onTape("X REPORT"));
  EXPECT_EQ(p.state().cash, 2895);
  ok(161, "0;");
  EXPECT_TRUE(onTape("Z REPORT No 1"));
  EXPECT_TRUE(onTape("SALES 28.95"));
  auto st = p.state();
  EXPECT_FALSE(st.shiftOpen);
  EXPECT_EQ(st.cash, 0);
  EXPECT_EQ(st.sales, 0);
  EXPECT_EQ(run(224, "3;0;0;").fields, std::vector<std::string>{"0.00"});
  EXPECT_EQ(p.status()[5] & 0x10, 0);
}

TEST_F(Model, RefundServiceAndCashLimits) {
  ok(36, "5;Soap;0;1;00;;");
  // A refund of 20.00 with an empty drawer cannot be paid in cash.
  ok(99, "1;1;1;");
  EXPECT_EQ(receiptStatus(), 3);
  ok(100, "5;1;20.00;");
  ok(109, "1;");
  EXPECT_EQ(run(103, "0;20.00;").code, "080B");
  EXPECT_EQ(run(101, ";").code, "000B");  // not paid
  ok(107, "0;");
  EXPECT_TRUE(onTape("RECEIPT CANCELLED"));

  ok(99, "1;1;2;");
  EXPECT_EQ(receiptStatus(), 4);
  EXPECT_EQ(run(119, "0;-1.00;").code, "080B");
  ok(119, "0;100.00;");
  ok(119, "0;-30.00;");
  ok(101, ";");
  EXPECT_EQ(run(224, "3;1;0;").fields, (std::vector<std::string>{"100.00", "30.00"}));
  EXPECT_EQ(run(224, "3;0;0;").fields, std::vector<std::string>{"70.00"});

  ok(99, "1;1;1;");
  ok(100, "5;1;20.00;");
  ok(109, "1;");
  ok(103, "0;;");  // an empty amount pays what is due
  ok(101, ";");
  EXPECT_EQ(run(224, "2;0;0;").fields, (std::vector<std::string>{"0.00", "20.00"}));
  EXPECT_EQ(run(224, "3;0;0;").fields, std::vector<std::string>{"50.00"});
}

TEST_F(Model, ReceiptStatesReadByTheHost) {
  struct Step {
    uint8_t cmd;
    const char* rest;
    int receiptStatus;
    int lowNibble;
  };
  ok(36, "9;Salt;0;1;00;;");
  const Step steps[] = {
      {96, "", 1, 5},          {97, "hello;", 1, 5},   {101, ";", 0, 0},       {99, "1;1;0;", 2, 1},
      {100, "9;1;1.00;", 2, 2}, {109, "1;", 2, 3},     {120, "1;1.00;REF;", 2, 3}, {101, ";", 0, 0},
      {99, "1;1;1;", 3, 1},     {107, "0;", 0, 0},     {99, "1;1;2;", 4, 7},   {107, "0;", 0, 0},
  };
  for (const auto& s : steps) {
    ASSERT_EQ(run(s.cmd, s.rest).code, "0000") << int(s.cmd) << " " << s.rest;
    EXPECT_EQ(receiptStatus(), s.receiptStatus) << int(s.cmd) << " " << s.rest;
    EXPECT_EQ(p.status()[2] & 0x0F, s.lowNibble);
    for (uint8_t b : p.status()) EXPECT_EQ(b & 0x80, 0x80);
  }
}

TEST_F(Model, Refusals) {
  ok(36, "3;Oil;0;1;00;;");
  struct Case {
    std::vector<std::pair<uint8_t, std::string>> setup;
    uint8_t cmd;
    std::string data;  // whole data text, password included
    const char* code;
  };
  const std::vector<Case> cases = {
      {{}, 128, "111111;", "0006"},
      {{}, 100, "", "0003"},
      {{}, 250, PW + ";", "0002"},
      {{}, 101, PW + ";;", "000B"},
      {{}, 107, PW + ";0;", "000B"},
      {{}, 100, PW + ";3;1;1.00;", "000B"},
      {{}, 119, PW + ";0;5.00;", "000B"},
      {{}, 36, PW + ";3;Oil2;0;1;00;;", "040A"},
      {{}, 89, PW + ";4;", "020A"},
      {{}, 235, PW + ";99;99;", "070B"},
      {{}, 99, PW + ";1;1;9;", "0304"},
      {{}, 224, PW + ";9;0;0;", "0104"},
      {{{99, "1;1;0;"}}, 100, PW + ";4;1;1.00;", "020A"},
      {{{99, "1;1;0;"}}, 100, PW + ";3;1,5;1.00;", "0F0B"},
      {{{99, "1;1;0;"}}, 100, PW + ";3;0;1.00;", "0F0B"},
      {{{99, "1;1;0;"}}, 100, PW + ";3;1;x;", "100B"},
      {{{99, "1;1;0;"}}, 100, PW + ";3;1;1.005;", "100B"},
      {{{99, "1;1;0;"}}, 99, PW + ";1;1;0;", "000B"},
      {{{99, "1;1;0;"}}, 161, PW + ";0;", "000B"},
      {{{99, "1;1;0;"}}, 104, PW + ";5;", "000B"},
      {{{99, "1;1;0;"}}, 103, PW + ";0;1.00;", "000B"},
      {{{99, "1;1;0;"}, {100, "3;1;2.00;"}}, 105, PW + ";3.00;", "0B0B"},
      {{{99, "1;1;0;"}, {100, "3;1;2.00;"}}, 115, PW + ";100;", "0B0B"},
      {{{99, "1;1;0;"}, {100, "3;1;2.00;"}, {109, "1;"}}, 100, PW + ";3;1;1.00;", "000B"},
      {{{99, "1;1;0;"}, {100, "3;1;2.00;"}, {109, "1;"}}, 120, PW + ";1;5.00;;", "0A0B"},
      {{{96, ""}}, 109, PW + ";1;", "000B"},
  };
  for (const auto& c : cases) {
    Printer fresh{"DT000042"};
    fresh.execute(36, PW + ";3;Oil;0;1;00;;");
    for (const auto& s : c.setup) ASSERT_EQ(fresh.execute(s.first, PW + ";" + s.second).code, "0000");
    auto o = fresh.execute(c.cmd, c.data);
    EXPECT_EQ(o.code, c.code) << int(c.cmd) << " " << c.data;
    EXPECT_TRUE(o.fields.empty());
    EXPECT_EQ(fresh.status()[0] & 0x20, 0x20);
  }
}

// Fields the component always sends in one shape: a request that breaks one
// is refused with "ii04" (ii the field's index) before anything happens, and
// the shape the component sends is taken.
TEST(ModelFixedFields, WrongShapeRefusedBeforeTheCommandRuns) {
  namespace code = ostrel::code;
  using Setup = std::vector<std::pair<uint8_t, std::string>>;
  const Setup sale = {{code::kOpenReceipt, "1;1;0;"}, {code::kSale, "3;1;2.00;"}};
  const Setup total = {{code::kOpenReceipt, "1;1;0;"}, {code::kSale, "3;1;2.00;"}, {code::kTotal, "1;"}};
  const Setup service = {{code::kOpenReceipt, "1;1;2;"}};
  const Setup closed = {{code::kOpenReceipt, "1;1;0;"}, {code::kTotal, "1;"}, {code::kCloseReceipt, ";"}};
  struct Case {
    Setup setup;
    uint8_t cmd;
    std::string rest;  // the data after the password
    const char* code;
  };
  const std::vector<Case> cases = {
      {sale, code::kTotal, "2;", "0104"},
      {sale, code::kTotal, "x;", "0104"},
      {sale, code::kTotal, "0;", "0000"},
      {total, code::kCashPayment, "1;2.00;", "0104"},
      {total, code::kCashPayment, "0;2.00;", "0000"},
      {service, code::kCashInOut, "1;5.00;", "0104"},
      {service, code::kCashInOut, ";5.00;", "0104"},
      {service, code::kCashInOut, "0;5.00;", "0000"},
      {total, code::kCardPayment, "x;2.00;;", "0104"},
      {total, code::kCardPayment, ";2.00;;", "0104"},
      {total, code::kCardPayment, "1;2.00;;", "0000"},
      {{}, code::kGoodsReport, "a;0;", "0104"},
      {{}, code::kGoodsReport, "0;1.5;", "0204"},
      {{}, code::kGoodsReport, "1;0;", "0000"},
      {closed, code::kCopyReceipt, "1;2;", "0204"},
      {closed, code::kCopyReceipt, "1;;", "0204"},
      {closed, code::kCopyReceipt, "1;", "0203"},
      {closed, code::kCopyReceipt, "1;1;", "0000"},
      {{}, code::kOpenReceipt, "1;1;3;", "0304"},
      {{}, code::kOpenReceipt, "1;1;", "0303"},
      {sale, code::kOpenReceipt, "1;1;9;", "0304"},
      {{}, code::kReport, "2;", "0104"},
      {sale, code::kCancelReceipt, "1;", "0104"},
      {sale, code::kCancelReceipt, "", "0103"},
      {{{code::kOpenNonFiscal, ""}}, code::kCloseReceipt, "x;", "0104"},
      {{{code::kOpenNonFiscal, ""}}, code::kCloseReceipt, "", "0103"},
      {{}, code::kBarcode, "50;x;1;1;4607123456780;", "0204"},
      {{}, code::kBarcode, "50;2;1;;4607123456780;", "0404"},
      {{}, code::kBarcode, "50;2;1;1;4607123456780;", "0000"},
      {{}, code::kElectronicPayment, "x;;;;;;;;;;;", "0104"},
      {{}, code::kExciseSale, ";a;;;;;;;;", "0104"},
      {{}, code::kCounters, "3;0;1;", "0304"},
      {{}, code::kCounters, "2;x;0;", "0204"},
      {{}, code::kCounters, "3;0;", "0303"},
      {{}, code::kLastReceipt, "2;", "0104"},
      {{}, code::kQrCode, "data;x;", "0204"},
      {{}, code::kQrCode, "data;4;", "0000"},
  };
  for (const auto& c : cases) {
    Printer fresh{"DT000042"};
    fresh.execute(code::kProgramArticle, PW + ";3;Oil;0;1;00;;");
    for (const auto& s : c.setup) ASSERT_EQ(fresh.execute(s.first, PW + ";" + s.second).code, "0000");
    const PrinterState before = fresh.state();
    const size_t printed = fresh.tape().size();
    auto o = fresh.execute(c.cmd, PW + ";" + c.rest);
    EXPECT_EQ(o.code, c.code) << int(c.cmd) << " " << c.rest;
    if (std::string(c.code) == "0000") continue;
    EXPECT_TRUE(o.fields.empty());
    EXPECT_EQ(fresh.tape().size(), printed) << int(c.cmd) << " " << c.rest;
    EXPECT_EQ(fresh.state().receiptState, before.receiptState);
    EXPECT_EQ(fresh.state().receiptPaid, before.receiptPaid);
    EXPECT_EQ(fresh.state().lastReceipt, before.lastReceipt);
  }
}

TEST_F(Model, ArticlesOperatorsAndQueries) {
  ok(87, "12;Juice;2;1;00;x;y;z;");
  auto r = run(89, "12;");
  ASSERT_EQ(r.code, "0000");
  EXPECT_EQ(r.fields, (std::vector<std::string>{"12", "Juice", "2", "1", "00", "x", "y", "z"}));
  EXPECT_EQ(run(87, "12;Other;2;1;00;;;;").code, "040A");

  auto s = run(128, "");
  ASSERT_GE(s.fields.size(), 9u);
  EXPECT_EQ(s.fields[8], "48");
  EXPECT_EQ(run(76, "").fields.at(0), "DT000042");

  ok(47, "3;1111;Cashier;");
  EXPECT_EQ(p.execute(128, "1111;").code, "0000");  // the new operator's password is accepted

  ok(228, "https://example.invalid/r?1;4;");
  ok(229, "1;extra;");
  EXPECT_EQ(run(230, "").fields, (std::vector<std::string>{"https://example.invalid/r?1", "extra"}));
  EXPECT_TRUE(onTape("[QR https://example.invalid/r?1]"));
  ok(113, "1;2;1;0;4607123456780;");
  EXPECT_TRUE(onTape("[BARCODE EAN13 4607123456780]"));
  ok(113, "50;2;5;1;ABC;");
  EXPECT_TRUE(onTape("[BARCODE CODE39 ABC]"));
  EXPECT_EQ(run(113, "1;2;1;0;46071;").code, "0504");
  EXPECT_EQ(run(151, "").fields.at(1), "CONNECTION OK");
  EXPECT_EQ(run(94, "0;").fields, (std::vector<std::string>{"0", "48"}));
  ok(124, "0;a;b;;;;;;;");
  EXPECT_TRUE(onTape("EXCISE SALE: 0;a;b;;;;;;"));
}

TEST_F(Model, CopiesAndPeriodicReports) {
  p.setDate("101226");
  ok(36, "1;Tea;0;1;00;;");
  ok(99, "1;1;0;");
  ok(100, "1;1;5.00;");
  ok(109, "1;");
  ok(120, "1;5.00;;");
  ok(101, ";");
  auto copied = run(235, "1;1;");
  ASSERT_EQ(copied.code, "0000");
  EXPECT_EQ(copied.fields, std::vector<std::string>{"1"});  // the number of the receipt copied
  auto t = p.tape();
  auto copy = std::find(t.begin(), t.end(), "COPY OF RECEIPT No 1");
  ASSERT_NE(copy, t.end());
  EXPECT_EQ(*(copy + 1), "SALE RECEIPT No 1");
  EXPECT_EQ(std::count(t.begin(), t.end(), "CARD 5.00"), 2);

  ok(164, "0;0;");
  EXPECT_TRUE(onTape("1 Tea  1.000 = 5.00"));
  ok(161, "0;");
  ok(162, "010126;311226;0;");
  EXPECT_TRUE(onTape("Z No 1 101226 SALES 5.00 REFUNDS 0.00"));
  EXPECT_EQ(run(162, "320126;311226;0;").code, "0C05");
  ok(163, "1;1;0;");
  EXPECT_EQ(run(163, "2;1;0;").code, "0204");
}

TEST(ModelBusy, ReportsTakeTimeOnlyWhenNotInstant) {
  Printer p;
  EXPECT_EQ(p.execute(161, "482915;1;").busyMs, 0);
  p.setInstant(false);
  EXPECT_GT(p.execute(161, "482915;1;").busyMs, 0);
  p.setInstant(true);
  p.setBusyMs(128, 120);
  EXPECT_EQ(p.execute(128, "482915;").busyMs, 120);
}
