// The equipment library's road: settings, connection, device test and the
// standard fiscal methods.
#include <sys/stat.h>

#include "fixture.h"

namespace e2e {
namespace {

using datecs_sim::Fault;

std::u16string slave(datecs_sim::Simulator& sim) { return abihost::fromUtf8(sim.slavePath()); }

TEST_F(Printer, OpenHandsBackTheSerialNumberAndCloseReleasesThePort) {
  ASSERT_TRUE(func(u"SetParameter", {T(u"Port"), T(slave(sim))}).ok);
  ASSERT_TRUE(func(u"SetParameter", {T(u"Speed"), I(3)}).ok);
  auto open = func(u"Open", {T(u"")});
  ASSERT_TRUE(open.ok);
  EXPECT_EQ(utf8(open.args[0].text), "DT000001");
  EXPECT_EQ(lastSent().command, 76);
  EXPECT_EQ(lastSent().data, "482915;");
  EXPECT_EQ(propNumber(u"Baud"), 9600u);  // Speed index 3
  EXPECT_TRUE(prop(u"IsOpen").boolean);

  // The same port twice: refused, argument 0 empty.
  auto twice = func(u"Open", {T(u"x")});
  EXPECT_FALSE(twice.ok);
  EXPECT_EQ(twice.args[0].text, u"");

  auto close = func(u"Close", {T(u"DT000001")});
  EXPECT_TRUE(close.ok);
  EXPECT_FALSE(prop(u"IsOpen").boolean);
  // Nothing goes to the closed port afterwards.
  sim.clearRequests();
  EXPECT_EQ(func(u"IsRegExist").result.integer, 0);
  EXPECT_TRUE(sent().empty());

  auto reopen = func(u"Open", {T(u"")});
  EXPECT_TRUE(reopen.ok);
  EXPECT_EQ(utf8(reopen.args[0].text), "DT000001");
}

TEST_F(Printer, StandardMethodsSendTheirFrames) {
  std::u16string id = connect();
  ASSERT_EQ(utf8(id), "DT000001");
  struct Case {
    const char16_t* method;
    std::vector<Value> args;
    uint8_t command;
    std::string data;
  } cases[] = {
      {u"PrintXReport", {T(id)}, 161, "482915;1;"},
      {u"PrintZReport", {T(id)}, 161, "482915;0;"},
      {u"OpenCashDrawer", {T(id)}, 131, "482915;"},
      {u"CancelCheck", {T(id)}, 107, "482915;0;"},
      {u"CashInOutcome", {T(id), Value::r8(100)}, 119, "482915;0;100.00;"},
      {u"CashInOutcome", {T(id), Value::r8(-12.5)}, 119, "482915;0;-12.50;"},
      {u"CashInOutcome", {T(id), T(u"7.5")}, 119, "482915;0;7.5;"},
      {u"PrintBarCode", {T(id), T(u"EAN13"), T(u"4823456789012")}, 113, "482915;50;2;1;1;4823456789012;"},
      {u"PrintBarCode", {T(id), T(u"CODE39"), T(u"ABC")}, 113, "482915;50;2;5;1;ABC;"},
      {u"PrintNonFiscalString", {T(id), T(u"Hello")}, 97, "DT000001;Hello;"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(utf8(k.method));
    sim.clearRequests();
    auto r = func(k.method, k.args);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.result.type, abihost::layout::VT_BOOL);
    EXPECT_TRUE(r.result.boolean);
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(lastSent().command, k.command);
    EXPECT_EQ(lastSent().data, k.data);
  }
  sim.clearRequests();
  auto width = func(u"GetLineLength", {T(id), I(0)});
  EXPECT_TRUE(width.ok);
  EXPECT_EQ(width.args[1].type, abihost::layout::VT_I4);
  EXPECT_EQ(width.args[1].integer, 48);
  EXPECT_EQ(lastSent().data, "482915;");

  // Acknowledged without a frame.
  sim.clearRequests();
  for (const char16_t* name : {u"OpenCheck", u"PrintFiscalString", u"CloseCheck", u"PrintNullReceipt",
                               u"PrintSoldReport", u"PrintPReportDate", u"OpenShift"}) {
    long n = c->findMethod(name);
    std::vector<Value> args = c->withDefaults(n, {T(id)});
    if (std::u16string(name) == u"PrintPReportDate") args[1] = args[2] = Value::date(0);
    auto r = c->callFunc(n, args);
    EXPECT_TRUE(r.ok) << utf8(name);
    EXPECT_TRUE(r.result.boolean) << utf8(name);
  }
  EXPECT_TRUE(sent().empty());
}

TEST_F(Printer, UnknownDeviceIsRefusedAndNothingIsSent) {
  connect();
  for (const char16_t* name : {u"PrintXReport", u"PrintZReport", u"OpenCashDrawer", u"CancelCheck", u"CashInOutcome",
                               u"PrintBarCode", u"PrintNonFiscalString", u"GetLineLength", u"OpenCheck", u"Close"}) {
    auto r = func(name, {T(u"nobody")});
    EXPECT_FALSE(r.ok) << utf8(name);
    EXPECT_EQ(r.result.type, abihost::layout::VT_BOOL) << utf8(name);
    EXPECT_FALSE(r.result.boolean) << utf8(name);
  }
  EXPECT_FALSE(func(u"Close", {T(u"")}).ok);
  EXPECT_TRUE(sent().empty());
  // OpenShift checks nothing.
  EXPECT_TRUE(func(u"OpenShift", {T(u"nobody")}).ok);
}

TEST_F(Printer, UnknownBarcodeTypeSendsNothing) {
  std::u16string id = connect();
  proc(u"PrintXReportL", {T(u"pw-before")});
  sim.clearRequests();
  auto r = func(u"PrintBarCode", {T(id), T(u"ean13"), T(u"4823456789012")});
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.result.boolean);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(utf8(propText(u"LastCmd")), "DT000001");  // taken in before the type is judged
}

// ClosePort closes the connected device's port but the slot still holds the
// device: Open refuses it until Close frees the slot.
TEST_F(Printer, SlotHoldsItsDeviceUntilClose) {
  std::u16string id = connect();
  EXPECT_TRUE(proc(u"ClosePort").ok);
  EXPECT_FALSE(prop(u"IsOpen").boolean);
  auto again = func(u"Open", {T(u"")});
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.args[0].text, u"");
  EXPECT_FALSE(func(u"Close", {T(id)}).ok);  // its port was already closed
  auto reopen = func(u"Open", {T(u"")});
  EXPECT_TRUE(reopen.ok);
  EXPECT_EQ(reopen.args[0].text, id);
}

TEST_F(Printer, CloseCheckAcknowledgesAndKeepsTheLastAmount) {
  std::u16string id = connect();
  auto r = func(u"CloseCheck", {T(id), Value::r8(10), Value::r8(0), Value::r8(0), Value::r8(2.5)});
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(utf8(propText(u"LastCmd")), "2.50");
}

// A component that goes away, or starts over with Init, lets its ports go:
// otherwise the device would stay locked until the host process ends.
TEST_F(Printer, DestroyAndInitReleaseThePort) {
  connect();
  auto other = newComponent();
  std::u16string path = abihost::fromUtf8(sim.slavePath());
  other->callFunc(u"SetParameter", {T(u"Port"), T(path)});
  EXPECT_FALSE(other->callFunc(u"Open", {T(u"")}).ok);  // held by the first

  EXPECT_EQ(c->destroy(), 0);
  c.reset();
  EXPECT_TRUE(other->callFunc(u"Open", {T(u"")}).ok);

  EXPECT_TRUE(other->init());
  EXPECT_FALSE(other->getProperty(u"IsOpen")->boolean);
  c = newComponent();
  EXPECT_EQ(utf8(connect(*c)), "DT000001");
}

TEST_F(Printer, OpenFailsWhenNoPrinterIsThere) {
  // No such device.
  func(u"SetParameter", {T(u"Port"), T(u"/dev/nonexistent-port")});
  auto missing = func(u"Open", {T(u"")});
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.args[0].text, u"");
  EXPECT_FALSE(prop(u"IsOpen").boolean);

  // A device that does not answer the identity request.
  func(u"SetParameter", {T(u"Port"), T(slave(sim))});
  sim.inject(Fault{Fault::Silence, 76});
  auto silent = func(u"Open", {T(u"")});
  EXPECT_FALSE(silent.ok);
  EXPECT_EQ(silent.args[0].text, u"");
  EXPECT_FALSE(prop(u"IsOpen").boolean);
  // The port was released: the next Open takes it.
  auto open = func(u"Open", {T(u"")});
  EXPECT_TRUE(open.ok);
  EXPECT_EQ(utf8(open.args[0].text), "DT000001");
}

TEST_F(Printer, DeviceTestReportsInItsOwnWords) {
  func(u"SetParameter", {T(u"Port"), T(slave(sim))});
  auto ok = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_TRUE(ok.ok);
  EXPECT_TRUE(ok.result.boolean);
  EXPECT_EQ(utf8(ok.args[0].text), "Тест Устройства (X-отчет) выполнен успешно!");
  EXPECT_EQ(ok.args[1].text, u"");
  EXPECT_EQ(lastSent().command, 161);
  EXPECT_EQ(lastSent().data, "482915;1;");
  EXPECT_FALSE(prop(u"IsOpen").boolean);

  sim.setErrorFor(161, "010B");
  auto refused = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_TRUE(refused.ok);
  EXPECT_EQ(utf8(refused.args[0].text),
            "Тест Устройства (X-отчет) - ошибка 010BНедостаточно свободного места для выполнения команды");
  sim.clearFaults();

  sim.inject(Fault{Fault::Silence, 161});
  auto silent = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_EQ(utf8(silent.args[0].text).rfind("Тест Устройства (X-отчет) - ошибка 010B", 0), 0u);
  EXPECT_NE(utf8(silent.args[0].text).find("Неизвестная ошибка или таймаут регистратора"), std::string::npos);

  func(u"SetParameter", {T(u"Port"), T(u"/dev/nonexistent-port")});
  auto missing = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(missing.result.boolean);
  EXPECT_EQ(utf8(missing.args[0].text), "Тест Устройства (X-отчет) - ошибка: не удалось открыть порт /dev/nonexistent-port");
  func(u"SetParameter", {T(u"Port"), I(8)});
  struct stat st;
  if (stat("/dev/ttyS8", &st) != 0) {
    EXPECT_EQ(utf8(func(u"DeviceTest", {T(u""), T(u"")}).args[0].text),
              "Тест Устройства (X-отчет) - ошибка: не удалось открыть порт COM9");
  }
}

TEST_F(Printer, PortSettingFormsNameTheSameDevices) {
  // A form index or "COMn" names /dev/ttyS{n-1}; none of them exists here
  // except perhaps ttyS0, so only the refusals are checked.
  for (auto value : {I(8), T(u"8"), T(u"COM9"), T(u"COM0"), T(u"COM"), T(u"")}) {
    func(u"SetParameter", {T(u"Port"), value});
    struct stat st;
    if (stat("/dev/ttyS8", &st) == 0) GTEST_SKIP();
    EXPECT_FALSE(func(u"Open", {T(u"")}).ok);
  }
  EXPECT_FALSE(func(u"SetParameter", {T(u"port"), T(u"COM3")}).ok);
  EXPECT_TRUE(func(u"SetParameter", {T(u"Model"), I(2)}).ok);
  EXPECT_TRUE(func(u"SetParameter", {T(u"EquipmentType"), T(u"x")}).ok);
}

}  // namespace
}  // namespace e2e
