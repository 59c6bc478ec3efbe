// The equipment library's road: settings, connection, device test and the
// standard fiscal methods.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "fixture.h"

namespace e2e {
namespace {

using datecs_sim::Fault;

std::u16string slave(datecs_sim::Simulator& sim) { return abihost::fromUtf8(sim.slavePath()); }

// What GetLastError gives, as the equipment library shows it to the cashier.
std::string lastError(abihost::Component& component) {
  auto r = component.callFunc(u"GetLastError", {T(u"")});
  EXPECT_TRUE(r.ok);
  return r.args.empty() ? std::string() : utf8(r.args[0].text);
}

constexpr char kTimeoutPrefix[] = "Неизвестная ошибка или таймаут регистратора: ";

TEST_F(Printer, OpenHandsBackTheSerialNumberAndCloseReleasesThePort) {
  ASSERT_TRUE(func(u"SetParameter", {T(u"Port"), T(slave(sim))}).ok);
  ASSERT_TRUE(func(u"SetParameter", {T(u"Speed"), I(3)}).ok);
  auto open = func(u"Open", {T(u"")});
  ASSERT_TRUE(open.ok);
  EXPECT_EQ(open.result, Value::boolean_(true));
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
  EXPECT_EQ(close.result, Value::boolean_(true));
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
  EXPECT_EQ(utf8(propText(u"LastCmd")), "ean13");  // taken in before it is judged

  // Accepted: the barcode passed through last.
  EXPECT_TRUE(func(u"PrintBarCode", {T(id), T(u"EAN13"), T(u"4823456789012")}).result.boolean);
  EXPECT_EQ(utf8(propText(u"LastCmd")), "4823456789012");
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
  auto close = func(u"Close", {T(id)});  // its port was already closed
  EXPECT_TRUE(close.ok);
  EXPECT_EQ(close.result, Value::boolean_(false));
  EXPECT_EQ(lastError(*c), "Не удалось закрыть порт " + sim.slavePath() + ": 06FF");
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
  auto held = other->callFunc(u"Open", {T(u"")});  // held by the first
  EXPECT_TRUE(held.ok);
  EXPECT_EQ(held.result, Value::boolean_(false));
  EXPECT_EQ(lastError(*other), "Порт " + sim.slavePath() + " занят другой программой: 02FF");

  EXPECT_EQ(c->destroy(), 0);
  c.reset();
  EXPECT_TRUE(other->callFunc(u"Open", {T(u"")}).result.boolean);

  EXPECT_TRUE(other->init());
  EXPECT_FALSE(other->getProperty(u"IsOpen")->boolean);
  c = newComponent();
  EXPECT_EQ(utf8(connect(*c)), "DT000001");
}

// Every method that reaches the printer answers the call and puts the outcome
// in its Boolean result: true only for "0000", false for a refusal or
// silence, and GetLastError then names the printer's reason.
TEST_F(Printer, StandardMethodsAnswerWhatThePrinterDid) {
  std::u16string id = connect();
  // An operator whose password is the identifier, which PrintNonFiscalString
  // sends where the password stands.
  proc(u"SetOperatorParam", {T(u"482915"), Value::ui4(2), T(id), T(u"Оператор")});
  auto openReceipt = [&] { proc(u"BegFiscalReceipt"); };
  auto openService = [&] { proc(u"OpenCashReceipt"); };
  struct Case {
    const char16_t* method;
    std::vector<Value> args;
    uint8_t command;
    std::function<void()> prepare;  // what the printer needs to accept it
  } cases[] = {
      {u"PrintNonFiscalString", {T(id), T(u"Hello")}, 97, {}},
      {u"PrintBarCode", {T(id), T(u"EAN13"), T(u"4823456789012")}, 113, {}},
      {u"CancelCheck", {T(id)}, 107, openReceipt},
      {u"CashInOutcome", {T(id), Value::r8(100)}, 119, openService},
      {u"PrintXReport", {T(id)}, 161, {}},
      {u"PrintZReport", {T(id)}, 161, {}},
      {u"OpenCashDrawer", {T(id)}, 131, {}},
      {u"GetLineLength", {T(id), I(0)}, 128, {}},
  };
  enum Outcome { Accepted, Refused, Silent };
  for (const auto& k : cases) {
    for (Outcome outcome : {Refused, Silent, Accepted}) {
      SCOPED_TRACE(utf8(k.method) + " outcome " + std::to_string(outcome));
      if (k.prepare) k.prepare();
      if (outcome == Refused) sim.setErrorFor(k.command, "010B");
      if (outcome == Silent) sim.inject(Fault{Fault::Silence, k.command});
      auto r = func(k.method, k.args);
      sim.clearFaults();
      EXPECT_TRUE(r.ok);
      EXPECT_EQ(r.result, Value::boolean_(outcome == Accepted));
      // The time-out message comes with the code the last answer left.
      const std::string expected = outcome == Accepted  ? "Нет ошибки: 0000"
                                   : outcome == Refused ? "Недостаточно свободного места для выполнения команды: 010B"
                                                        : kTimeoutPrefix;
      std::string error = lastError(*c);
      EXPECT_EQ(error.rfind(expected, 0), 0u) << error;
      EXPECT_EQ(error.size() - expected.size(), outcome == Silent ? 4u : 0u) << error;
      if (std::u16string(k.method) == u"GetLineLength") {
        EXPECT_EQ(r.args[1].integer, outcome == Accepted ? 48 : 0);
      }
    }
    proc(u"ResetReceipt");
  }
}

// A port that cannot be used: Open answers the call, its result is false,
// argument 0 empty, nothing is connected, and GetLastError names the port
// and the reason.
TEST_F(Printer, OpenNamesThePortAndTheReason) {
  std::string file = ::testing::TempDir() + "driver-test-not-a-port";
  { std::ofstream(file) << "x"; }
  std::string locked = sim.slavePath();
  int holder = ::open(locked.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  struct Case {
    Value port;
    std::string error;
  } cases[] = {
      {T(u"/dev/nonexistent-port"), "Порт /dev/nonexistent-port не найден: 01FF"},
      {T(slave(sim)), "Порт " + locked + " занят другой программой: 02FF"},
      {T(abihost::fromUtf8(file)), "Не удалось настроить порт " + file + ": 04FF"},
      {T(u""), "Порт не задан: 00FF"},
      {T(u"COM0"), "Порт COM0 не найден: 01FF"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.error);
    ASSERT_TRUE(func(u"SetParameter", {T(u"Port"), k.port}).ok);
    auto r = func(u"Open", {T(u"x")});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.result, Value::boolean_(false));
    EXPECT_EQ(r.args[0].text, u"");
    EXPECT_FALSE(prop(u"IsOpen").boolean);
    EXPECT_EQ(lastError(*c), k.error);
  }
  ::close(holder);
  std::remove(file.c_str());
  EXPECT_TRUE(sent().empty());

  // A success reads as usual again.
  func(u"SetParameter", {T(u"Port"), T(slave(sim))});
  EXPECT_TRUE(func(u"Open", {T(u"")}).result.boolean);
  EXPECT_EQ(lastError(*c), "Нет ошибки: 0000");
}

// Root opens any file whatever its mode: drop the override while the test
// opens, so "access denied" is what the system answers.
class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
    dropped[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    active_ = syscall(SYS_capset, &header_, dropped) == 0;
  }
  ~WithoutFileOverride() {
    if (active_) syscall(SYS_capset, &header_, saved_);
  }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool active_ = false;
};

TEST_F(Printer, OpenNamesAPortItMayNotUse) {
  std::string file = ::testing::TempDir() + "driver-test-forbidden";
  { std::ofstream(file) << "x"; }
  ASSERT_EQ(chmod(file.c_str(), 0), 0);
  func(u"SetParameter", {T(u"Port"), T(abihost::fromUtf8(file))});
  abihost::CallResult r;
  {
    WithoutFileOverride guard;
    r = func(u"Open", {T(u"")});
  }
  std::remove(file.c_str());
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.result, Value::boolean_(false));
  EXPECT_EQ(lastError(*c), "Нет доступа к порту " + file + ": 03FF");
}

// The printer itself keeps Open from connecting: silence, a refusal, an
// answer without the number.
TEST_F(Printer, OpenFailsWhenNoPrinterAnswers) {
  func(u"SetParameter", {T(u"Port"), T(slave(sim))});
  struct Case {
    Fault fault;
    std::string error;
  } cases[] = {
      {Fault{Fault::Silence, 76}, kTimeoutPrefix},
      {[] {
         Fault f{Fault::ErrorCode, 76};
         f.errorCode = "0001";
         return f;
       }(),
       "Неопределенная ошибка оборудования: 0001"},
      {[] {
         Fault f{Fault::ErrorCode, 76};
         f.errorCode = "0000";
         return f;
       }(),
       "Регистратор на порту " + sim.slavePath() + " не сообщил заводской номер: 07FF"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.error);
    sim.inject(k.fault);
    auto r = func(u"Open", {T(u"")});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.result, Value::boolean_(false));
    EXPECT_EQ(r.args[0].text, u"");
    EXPECT_FALSE(prop(u"IsOpen").boolean);
    EXPECT_EQ(lastError(*c).rfind(k.error, 0), 0u) << lastError(*c);
  }
  // The port was released: the next Open takes it.
  auto open = func(u"Open", {T(u"")});
  EXPECT_TRUE(open.result.boolean);
  EXPECT_EQ(utf8(open.args[0].text), "DT000001");
}

TEST_F(Printer, DeviceTestReportsInItsOwnWords) {
  func(u"SetParameter", {T(u"Port"), T(slave(sim))});
  auto ok = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_TRUE(ok.ok);
  EXPECT_EQ(ok.result, Value::boolean_(true));
  EXPECT_EQ(utf8(ok.args[0].text), "Тест Устройства (X-отчет) выполнен успешно!");
  EXPECT_EQ(ok.args[1].text, u"");
  EXPECT_EQ(lastSent().command, 161);
  EXPECT_EQ(lastSent().data, "482915;1;");
  EXPECT_FALSE(prop(u"IsOpen").boolean);

  sim.setErrorFor(161, "010B");
  auto refused = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_TRUE(refused.ok);
  EXPECT_EQ(refused.result, Value::boolean_(false));
  EXPECT_EQ(utf8(refused.args[0].text),
            "Тест Устройства (X-отчет) - ошибка 010BНедостаточно свободного места для выполнения команды");
  EXPECT_EQ(lastError(*c), "Недостаточно свободного места для выполнения команды: 010B");
  sim.clearFaults();

  sim.inject(Fault{Fault::Silence, 161});
  auto silent = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_EQ(silent.result, Value::boolean_(false));
  EXPECT_EQ(utf8(silent.args[0].text).rfind("Тест Устройства (X-отчет) - ошибка 010B", 0), 0u);
  EXPECT_NE(utf8(silent.args[0].text).find("Неизвестная ошибка или таймаут регистратора"), std::string::npos);

  func(u"SetParameter", {T(u"Port"), T(u"/dev/nonexistent-port")});
  auto missing = func(u"DeviceTest", {T(u""), T(u"")});
  EXPECT_TRUE(missing.ok);
  EXPECT_EQ(missing.result, Value::boolean_(false));
  EXPECT_EQ(utf8(missing.args[0].text), "Тест Устройства (X-отчет) - ошибка: не удалось открыть порт /dev/nonexistent-port");
  EXPECT_EQ(lastError(*c), "Порт /dev/nonexistent-port не найден: 01FF");
}

// The Linux form's Port values name the devices it labels them with, and
// Open goes to that device.
TEST_F(Printer, FormPortValuesNameLinuxDevices) {
  struct Case {
    Value value;
    std::string device;
  } cases[] = {
      {I(0), "/dev/ttyS0"},     {I(8), "/dev/ttyS8"},     {T(u"8"), "/dev/ttyS8"},  {T(u"COM9"), "/dev/ttyS8"},
      {I(9), "/dev/ttyUSB0"},   {I(12), "/dev/ttyUSB3"},  {I(13), "/dev/ttyACM0"}, {I(16), "/dev/ttyACM3"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.device);
    func(u"SetParameter", {T(u"Port"), k.value});
    struct stat st;
    if (stat(k.device.c_str(), &st) == 0) continue;  // a real port: not touched
    auto r = func(u"Open", {T(u"")});
    EXPECT_EQ(r.result, Value::boolean_(false));
    EXPECT_EQ(lastError(*c), "Порт " + k.device + " не найден: 01FF");
  }
  // A value past the form's list names nothing.
  func(u"SetParameter", {T(u"Port"), I(17)});
  EXPECT_FALSE(func(u"Open", {T(u"")}).result.boolean);
  EXPECT_EQ(lastError(*c), "Порт 17 не найден: 01FF");

  EXPECT_FALSE(func(u"SetParameter", {T(u"port"), T(u"COM3")}).ok);
  EXPECT_TRUE(func(u"SetParameter", {T(u"Model"), I(2)}).ok);
  EXPECT_TRUE(func(u"SetParameter", {T(u"EquipmentType"), T(u"x")}).ok);
}

}  // namespace
}  // namespace e2e
