// The device link seen by a script: the answer's fields, code and status,
// the time-out state, hostile answers, a closed port, and OpenPort by number.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "fixture.h"
#include "tests/support/comma_locale.h"

namespace e2e {
namespace {

using datecs_sim::Fault;

const std::string kUnknown = "Неизвестная ошибка или таймаут регистратора";

std::string retItem(Printer* p, abihost::Component& c, int i) {
  auto r = c.callFunc(u"RetItem", {T(u""), I(i)});
  EXPECT_TRUE(r.ok);
  return utf8(r.result.text);
}

TEST_F(Printer, AnswerFieldsCodeAndStatusReachTheScript) {
  connect();
  auto r = func(u"IsRegExist");
  EXPECT_EQ(r.result.integer, 1);
  EXPECT_EQ(lastSent().command, 128);
  EXPECT_EQ(lastSent().data, "482915;");
  uint32_t count = propNumber(u"Counter");
  ASSERT_GE(count, 9u);
  EXPECT_EQ(retItem(this, *c, 8), "48");  // the line width
  EXPECT_EQ(retItem(this, *c, -1), "");
  EXPECT_EQ(retItem(this, *c, static_cast<int>(count)), "");
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0000");
  EXPECT_EQ(utf8(propText(u"ErrorDescription")), "Нет ошибки");
}

TEST_F(Printer, PrinterErrorsShowTheirMessage) {
  connect();
  struct Case {
    std::string code, message;
  } cases[] = {
      {"0A05", "Необходимо скорректировать время"},
      {"110B", "Аннуляция : удаляемая последовательность заблокирована"},
      {"0006", "Неверный пароль доступа"},
      {"0a05", kUnknown},  // lower case is not in the table
      {"7777", kUnknown},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.code);
    sim.setErrorFor(128, k.code);
    // Any complete answer means the printer is there, whatever its code.
    EXPECT_EQ(func(u"IsRegExist").result.integer, 1);
    EXPECT_EQ(utf8(propText(u"ErrorCode")), k.code);
    EXPECT_EQ(utf8(propText(u"LastTextError")), k.code);
    EXPECT_EQ(utf8(propText(u"ErrorDescription")), k.message);
    EXPECT_EQ(utf8(func(u"GetLastError", {T(u"")}).args.at(0).text), k.message + ": " + k.code);
  }
}

TEST_F(Printer, SilenceLeavesTheTimeOutStateAndKeepsTheCode) {
  connect();
  sim.setErrorFor(128, "0A05");
  func(u"IsRegExist");
  sim.clearFaults();
  ASSERT_GE(propNumber(u"Counter"), 0u);
  sim.inject(Fault{Fault::Silence, 128});
  EXPECT_EQ(func(u"IsRegExist").result.integer, 0);
  EXPECT_EQ(propNumber(u"Counter"), 0u);
  EXPECT_EQ(utf8(propText(u"ErrorCode")), "0A05");
  EXPECT_EQ(utf8(propText(u"ErrorDescription")), kUnknown);
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 0u);
  EXPECT_EQ(retItem(this, *c, 0), "");
  for (int b = 0; b < 8; ++b) {
    EXPECT_EQ(func(u"GetStatusBit", {T(u"482915"), I(0), I(b), I(0)}).result.integer, 0);
  }
  // The next command works again.
  EXPECT_EQ(func(u"IsRegExist").result.integer, 1);
}

TEST_F(Printer, NakAndJunkFirstStillEndWithTheAnswer) {
  connect();
  for (auto kind : {Fault::Nak, Fault::JunkBefore}) {
    Fault f{kind, 128};
    if (kind == Fault::JunkBefore) f.bytes = {'x', 'y', 'z'};
    sim.inject(f);
    EXPECT_EQ(func(u"IsRegExist").result.integer, 1);
    EXPECT_EQ(utf8(propText(u"ErrorDescription")), "Нет ошибки");
    EXPECT_EQ(func(u"IsRegExist").result.integer, 1);
  }
}

TEST_F(Printer, SplitAnswersAndSynBytesAreAssembled) {
  connect();
  Fault split{Fault::Split, 128};
  split.pieces = 5;
  split.delayMs = 50;
  sim.inject(split);
  EXPECT_EQ(func(u"IsRegExist").result.integer, 1);
  EXPECT_GE(propNumber(u"Counter"), 9u);
  Fault syn{Fault::SynStorm, 128};
  syn.delayMs = 600;  // longer than the test build's silence limit: SYN bytes keep the line alive
  sim.inject(syn);
  EXPECT_EQ(func(u"IsRegExist").result.integer, 1);
  EXPECT_GE(propNumber(u"Counter"), 9u);
}

TEST_F(Printer, HostileAnswersStayWithinTheirBounds) {
  connect();
  struct Case {
    int fields, length;
  } cases[] = {{30, 10}, {5, 400}, {25, 160}, {10, 390}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.fields) + " x " + std::to_string(k.length));
    Fault f{Fault::Oversized, 0x80};
    f.fields = k.fields;
    f.fieldLength = k.length;
    sim.inject(f);
    proc(u"DirectIO", {T(u"482915"), I(0x80), T(u"")});
    uint32_t count = propNumber(u"Counter");
    EXPECT_LE(count, 20u);
    EXPECT_GT(count, 0u);
    for (uint32_t i = 0; i < count; ++i) EXPECT_LE(retItem(this, *c, static_cast<int>(i)).size(), 149u);
    EXPECT_TRUE(func(u"IsRegExist").result.integer);
  }
}

TEST_F(Printer, StatusBitsAndPropertiesFollowTheReceipt) {
  connect();
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 0u);
  proc(u"BegFiscalReceipt");
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 2u);
  EXPECT_EQ(propNumber(u"ShiftStatus"), 1u);
  EXPECT_EQ(func(u"GetStatusBit", {T(u"482915"), I(5), I(4), I(1)}).result.integer, 1);
  EXPECT_EQ(lastSent().command, 128);
  sim.clearRequests();
  for (int bit : {8, 31, 32, -1}) {
    EXPECT_EQ(func(u"GetStatusBit", {T(u"482915"), I(5), I(bit), I(0)}).result.integer, 0);
  }
  for (int index : {6, -1, 1000}) {
    EXPECT_EQ(func(u"GetStatusBit", {T(u"482915"), I(index), I(4), I(0)}).result.integer, 0);
  }
  EXPECT_TRUE(sent().empty());  // without refresh nothing is sent
  // ... so any password will do: there is no data field to refuse.
  auto longPassword = func(u"GetStatusBit", {T(std::u16string(250, u'1')), I(5), I(4), I(0)});
  EXPECT_TRUE(longPassword.ok);
  EXPECT_EQ(longPassword.result.integer, 1);
  EXPECT_EQ(propText(u"LastCmd"), std::u16string(250, u'1'));
  EXPECT_FALSE(func(u"GetStatusBit", {T(std::u16string(250, u'1')), I(5), I(4), I(1)}).ok);
  EXPECT_TRUE(sent().empty());
  proc(u"ResetReceipt");
  proc(u"BegRefundReceipt");
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 3u);
  proc(u"ResetReceipt");
  proc(u"BeginNonFiscal");
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 1u);
  proc(u"CloseReceipt");
  proc(u"OpenCashReceipt");
  EXPECT_EQ(propNumber(u"ReceiptStatus"), 4u);
}

TEST_F(Printer, MoneyCountersAsTextAndNumber) {
  connect();
  proc(u"OpenCashReceipt");
  proc(u"ServCashInOut", {T(u"482915"), T(u"1234.50")});
  proc(u"CloseReceipt");
  EXPECT_EQ(utf8(func(u"SumCash").result.text), "1234.50");
  EXPECT_EQ(lastSent().command, 224);
  EXPECT_EQ(lastSent().data, "482915;3;0;0;");
  EXPECT_DOUBLE_EQ(func(u"SumCashF", {T(u"482915"), I(77)}).result.real, 1234.5);
  EXPECT_EQ(lastSent().data, "482915;3;0;0;");  // the second argument is not used
  EXPECT_DOUBLE_EQ(func(u"ServiceInF").result.real, 1234.5);
  EXPECT_EQ(lastSent().data, "482915;3;1;0;");
  EXPECT_DOUBLE_EQ(func(u"ServiceOutF").result.real, 0.0);
  func(u"SumTrade", {T(u"482915"), I(-1)});
  EXPECT_EQ(lastSent().data, "482915;2;-1;0;");
  EXPECT_TRUE(func(u"SumRefund").ok);
  // Numbers are read the same whatever C locale the host sets.
  {
    CommaLocale comma([&](const char* name) { c->setLocale(abihost::fromUtf8(name).c_str()); });
    if (comma.active()) {
      EXPECT_DOUBLE_EQ(func(u"SumCashF").result.real, 1234.5);
    }
  }
  EXPECT_FALSE(proc(u"SumCash").ok);  // functions only
}

TEST_F(Printer, CommandOnAClosedPortEndsAtOnce) {
  // The product library: a wait here would be the full minute of silence.
  auto product = newComponent(OSTREL_PRODUCT_LIBRARY);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(product->callFunc(u"IsRegExist", {T(u"482915")}).result.integer, 0);
  EXPECT_TRUE(product->callProc(u"PrintXReportL", {T(u"482915")}).ok);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_TRUE(sim.requests().empty());
}

TEST_F(Printer, HangUpEndsTheExchangeAndLaterCommandsAtOnce) {
  connect();
  sim.inject(Fault{Fault::Hangup, 128});
  EXPECT_EQ(func(u"IsRegExist").result.integer, 0);
  EXPECT_EQ(utf8(propText(u"ErrorDescription")), kUnknown);
  EXPECT_EQ(func(u"IsRegExist").result.integer, 0);
}

// OpenPort takes a port number: n names /dev/ttyS{n-1}. In a private mount
// namespace the simulator's pty stands in for /dev/ttyS0.
TEST_F(Printer, OpenPortByNumberOpensTheSerialDevice) {
  sim.stop();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failures = 0;
    auto check = [&](bool ok, const char* what) {
      if (!ok) {
        fprintf(stderr, "failed: %s\n", what);
        ++failures;
      }
    };
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
    datecs_sim::Simulator printer;
    if (!printer.start()) _exit(2);
    int slave = open(printer.slavePath().c_str(), O_RDWR | O_NOCTTY);
    std::string source = "/proc/self/fd/" + std::to_string(slave);
    if (mount("tmpfs", "/dev", "tmpfs", 0, nullptr) != 0) _exit(77);
    close(open("/dev/ttyS0", O_CREAT | O_WRONLY, 0600));
    if (mount(source.c_str(), "/dev/ttyS0", nullptr, MS_BIND, nullptr) != 0) _exit(77);
    close(slave);
    {
      auto lib = std::make_shared<abihost::Library>(OSTREL_TEST_LIBRARY);
      abihost::Component component(lib);
      auto open1 = component.callFunc(u"OpenPort", {Value::ui1(1), Value::ui4(9600)});
      check(open1.ok && open1.result.type == abihost::layout::VT_UI1 && open1.result.integer == 0, "OpenPort(1) = 0");
      check(component.getProperty(u"IsOpen")->boolean, "IsOpen");
      auto again = component.callFunc(u"OpenPort", {Value::ui1(2), Value::ui4(19200)});
      check(again.result.integer == 8, "second OpenPort = 8");
      check(component.getProperty(u"Port")->integer == 1, "Port stays 1");
      check(component.getProperty(u"Baud")->integer == 9600, "Baud stays 9600");
      check(component.callFunc(u"IsRegExist", {T(u"482915")}).result.integer == 1, "printer answers");
      check(component.callProc(u"ClosePort", {}).ok, "ClosePort");
      check(!component.getProperty(u"IsOpen")->boolean, "closed");
      auto missing = component.callFunc(u"OpenPort", {Value::ui1(2), Value::ui4(9600)});
      check(missing.result.integer == 1, "OpenPort(2) on a missing device = 1");
      auto zero = component.callFunc(u"OpenPort", {Value::ui1(0), Value::ui4(9600)});
      check(zero.result.integer == 1, "OpenPort(0) = 1");
      auto odd = component.callFunc(u"OpenPort", {Value::ui1(1), Value::ui4(12345)});
      check(odd.result.integer == 0, "an odd rate still opens");
      check(component.getProperty(u"Baud")->integer == 12345, "Baud reports the odd rate");
      // The port is exclusive: a second component cannot open it.
      abihost::Component other(lib);
      check(other.callFunc(u"OpenPort", {Value::ui1(1), Value::ui4(9600)}).result.integer == 1, "exclusive");
      component.callProc(u"ClosePort", {});
      check(other.callFunc(u"OpenPort", {Value::ui1(1), Value::ui4(9600)}).result.integer == 0, "released");
      other.callProc(u"ClosePort", {});
    }
    _exit(failures == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
}  // namespace e2e
