// Which call form runs which method, what the methods that need no printer
// answer, and how commands end on a port that is not open.
#include <chrono>
#include <climits>
#include <cstring>

#include "abi_fixture.h"

namespace abitest {
namespace {

const char16_t* const kTimeoutText = u"Неизвестная ошибка или таймаут регистратора";

using Dispatch = AbiTest;

// Numbers the component does not have, in both forms.
TEST_F(Dispatch, UnknownNumbersFailAndWriteNothing) {
  for (long n : {82L, 83L, 1000L, -1L, LONG_MIN}) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(c->callProc(n, {text(u"482915")}).ok);
    RawVariant result;
    result.fill(0x5A);
    RawVariant before = result;
    RawVariant arg;
    EXPECT_FALSE(c->callAsFunc(n, &result, &arg, 1));
    EXPECT_EQ(std::memcmp(result.bytes, before.bytes, sizeof result.bytes), 0);
  }
}

// Every method the procedure form does not run answers false there, and
// every method the function form does not run answers false there, with the
// declared defaults as arguments, as a script that leaves them out would.
TEST_F(Dispatch, EachFormRunsOnlyItsMethods) {
  std::vector<long> procedureRefuses = {3, 24, 25, 26, 27, 28, 29, 32, 33, 62, 64};
  for (long n = 38; n <= 58; ++n) procedureRefuses.push_back(n);
  std::vector<long> functionRefuses = {1, 2, 25, 30, 31, 34, 35, 36, 37, 59};
  for (long n = 4; n <= 23; ++n) functionRefuses.push_back(n);
  for (long n = 70; n <= 81; ++n) functionRefuses.push_back(n);

  for (long n : procedureRefuses) {
    SCOPED_TRACE("procedure form of " + std::to_string(n));
    EXPECT_FALSE(c->callProc(n, c->withDefaults(n, {})).ok);
  }
  for (long n : functionRefuses) {
    SCOPED_TRACE("function form of " + std::to_string(n));
    CallResult r = c->callFunc(n, c->withDefaults(n, {}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result, Value::empty());
  }
  // Nothing above reached the link: the state after Init is untouched.
  EXPECT_EQ(prop(u"LastCmd"), text(u""));
  EXPECT_EQ(prop(u"ErrorDescription"), text(u"Нет ошибки"));
}

TEST_F(Dispatch, GetStatusByteCanBeFoundButNeverRuns) {
  EXPECT_EQ(c->findMethod(u"GetStatusByte"), 25);
  EXPECT_FALSE(c->callProc(25, {}).ok);
  EXPECT_FALSE(c->callFunc(25, {}).ok);
}

TEST_F(Dispatch, RetItemOutsideTheAnswerIsTheEmptyText) {
  for (std::int32_t n : {0, -1, 1, 19, 20, 1000, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(n);
    CallResult r = c->callFunc(3, {text(u"482915"), Value::i4(n)});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.result, text(u""));
  }
}

TEST_F(Dispatch, GetVersionInBothForms) {
  CallResult f = c->callFunc(u"GetVersion", {});
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.result, text(u"ver.3.0 17.03.2017"));

  CallResult p = c->callProc(u"GetVersion", {Value::empty()});
  EXPECT_TRUE(p.ok);
  ASSERT_EQ(p.args.size(), 1u);
  EXPECT_EQ(p.args[0], text(u"ver.5.0.3 29.07.2021"));

  EXPECT_TRUE(c->callProc(u"GetVersion", {}).ok);
  EXPECT_EQ(c->memory().liveCount(), 0u);
}

TEST(DispatchWithoutMemory, GetVersionAsAFunctionFails) {
  Component c(productLibrary(), Component::Setup::Created);
  c.init();
  CallResult f = c.callFunc(60, {});
  EXPECT_FALSE(f.ok);
  expectNoProblems(c);
}

TEST_F(Dispatch, GetDescriptionWritesItsSevenOutputs) {
  std::vector<Value> expected = {
      text(u"1С:драйвер AddInNativeOstrel.dll"),
      text(u"Драйвер стандарта 1C Native API для протокола Острел (ДП компания ORVETA)"),
      text(u"ФискальныйРегистратор"),
      Value::i4(2000),
      Value::boolean_(false),
      Value::boolean_(false),  // the function form; the procedure form says true
      text(u""),
  };
  long n = method(u"GetDescription");
  CallResult f = c->callFunc(n, c->withDefaults(n, {}));
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.result, Value::boolean_(true));
  ASSERT_EQ(f.args.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(f.args[i], expected[i]) << "output " << i;

  expected[5] = Value::boolean_(true);
  CallResult p = c->callProc(n, c->withDefaults(n, {}));
  EXPECT_TRUE(p.ok);
  ASSERT_EQ(p.args.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(p.args[i], expected[i]) << "output " << i;
}

const char* const kSettingsFragments[] = {
    R"(<?xml version="1.0" encoding="UTF-8" ?> )"
    R"(<Settings>  )"
    R"(  <Page Caption="Параметры">  )"
    R"(<Group Caption="Параметры подключения">  )"
    R"(<Parameter Name="Model" Caption="Модель" TypeValue="Number">)"
    R"(<ChoiceList>)"
    R"(<Item Value="0">Datecs FP-T88</Item>)"
    R"(<Item Value="1">Datecs FP-T260</Item>)"
    R"(<Item Value="2">Datecs FP-320</Item>)"
    R"(<Item Value="3">Datecs CMP-10M</Item>)"
    R"(<Item Value="4">Datecs FP-101 SMART</Item>)"
    R"(</ChoiceList>)"
    R"(</Parameter>)"
    R"(<Parameter Name="Port" Caption="Порт" TypeValue="Number" DefaultValue="0">)"
    R"(<ChoiceList>)"
    R"(<Item Value="0">COM1</Item>)"
    R"(<Item Value="1">COM2</Item>)"
    R"(<Item Value="2">COM3</Item>)"
    R"(<Item Value="3">COM4</Item>)"
    R"(<Item Value="4">COM5</Item>)"
    R"(<Item Value="5">COM6</Item>)"
    R"(<Item Value="6">COM7</Item>)"
    R"(<Item Value="7">COM8</Item>)"
    R"(<Item Value="8">COM9</Item>)"
    R"(</ChoiceList>)"
    R"(</Parameter>)"
    R"(<Parameter Name="Speed" Caption="Скорость" TypeValue="Number" DefaultValue="3">)"
    R"(<ChoiceList>)"
    R"(<Item Value="0">1200</Item>)"
    R"(<Item Value="1">2400</Item>)"
    R"(<Item Value="2">4800</Item>)"
    R"(<Item Value="3">9600</Item>)"
    R"(<Item Value="4">19200</Item>)"
    R"(<Item Value="5">38400</Item>)"
    R"(<Item Value="6">57600</Item>)"
    R"(<Item Value="7">115200</Item>)"
    R"(</ChoiceList>)"
    R"(</Parameter>)"
    R"(</Group>)"
    R"(</Page>)"
    R"(</Settings>)"
};

TEST_F(Dispatch, GetParametersGivesTheSettingsTextInBothForms) {
  std::string settings;
  for (const char* f : kSettingsFragments) settings += f;
  ASSERT_EQ(settings.rfind(R"(<?xml version="1.0" encoding="UTF-8" ?> <Settings>)", 0), 0u);
  // This system's form names its own serial devices in place of COM1 to COM9.
  std::string com, posix;
  for (int i = 0; i < 9; ++i) com += "<Item Value=\"" + std::to_string(i) + "\">COM" + std::to_string(i + 1) + "</Item>";
  for (int i = 0; i < 9; ++i) posix += "<Item Value=\"" + std::to_string(i) + "\">/dev/ttyS" + std::to_string(i) + "</Item>";
  for (int i = 0; i < 4; ++i) posix += "<Item Value=\"" + std::to_string(9 + i) + "\">/dev/ttyUSB" + std::to_string(i) + "</Item>";
  for (int i = 0; i < 4; ++i) posix += "<Item Value=\"" + std::to_string(13 + i) + "\">/dev/ttyACM" + std::to_string(i) + "</Item>";
  ASSERT_NE(settings.find(com), std::string::npos);
  settings.replace(settings.find(com), com.size(), posix);

  long n = method(u"GetParameters");
  CallResult f = c->callFunc(n, {Value::empty()});
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.result, Value::boolean_(true));
  ASSERT_EQ(f.args.size(), 1u);
  ASSERT_TRUE(f.args[0].isText()) << f.args[0];
  EXPECT_EQ(utf8(f.args[0].text), settings);

  CallResult p = c->callProc(n, {Value::empty()});
  EXPECT_TRUE(p.ok);
  ASSERT_EQ(p.args.size(), 1u);
  EXPECT_EQ(utf8(p.args[0].text), settings);
}

TEST_F(Dispatch, GetLastErrorRightAfterInit) {
  CallResult f = c->callFunc(u"GetLastError", {Value::empty()});
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.result, Value::i4(1));
  ASSERT_EQ(f.args.size(), 1u);
  EXPECT_EQ(f.args[0], text(u"Нет ошибки: 0000"));
  EXPECT_FALSE(c->callProc(u"GetLastError", {Value::empty()}).ok);
}

TEST_F(Dispatch, OpenPortZeroCannotOpen) {
  CallResult f = c->callFunc(0, {Value::ui1(0), Value::ui4(9600)});
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.result, Value::ui1(1));
  EXPECT_EQ(prop(u"IsOpen"), Value::boolean_(false));
  EXPECT_EQ(prop(u"Port"), Value::ui2(0));

  CallResult p = c->callProc(0, {Value::ui1(0), Value::ui4(9600)});
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(prop(u"IsOpen"), Value::boolean_(false));
}

// With no port open a command cannot be sent: the exchange ends at once in
// the time-out state, the error code keeps its last value, and the procedure
// form still reports success.
TEST_F(Dispatch, CommandsOnAClosedPortEndAtOnceInTheTimeoutState) {
  struct Case {
    std::u16string name;
    std::vector<Value> args;
  } cases[] = {
      {u"PrintXReportL", {text(u"482915")}},
      {u"DirectIO", {text(u"482915"), Value::ui1(74), text(u"")}},
      {u"BegFiscalReceipt", {text(u"482915"), Value::ui4(1), Value::ui4(1)}},
      {u"PeriodicReportByNum", {text(u"482915"), Value::ui4(5), Value::ui4(12), Value::ui4(1)}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(utf8(k.name));
    auto start = std::chrono::steady_clock::now();
    CallResult r = c->callProc(k.name, k.args);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(r.ok);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 1000);
    EXPECT_EQ(prop(u"ErrorDescription"), text(kTimeoutText));
    EXPECT_EQ(prop(u"ErrorCode"), text(u"0000"));
    EXPECT_EQ(prop(u"LastTextError"), text(u"0000"));
    EXPECT_EQ(prop(u"Counter"), Value::ui2(0));
    EXPECT_EQ(prop(u"ReceiptStatus"), Value::ui4(0));
    EXPECT_EQ(prop(u"IsOpen"), Value::boolean_(false));
  }
  CallResult e = c->callFunc(u"GetLastError", {Value::empty()});
  EXPECT_TRUE(e.ok);
  ASSERT_EQ(e.args.size(), 1u);
  EXPECT_EQ(e.args[0], text(std::u16string(kTimeoutText) + u": 0000"));
}

TEST_F(Dispatch, LastCmdShowsThePasswordOfTheLastCommand) {
  EXPECT_TRUE(c->callProc(u"PrintXReportL", {text(u"482915")}).ok);
  EXPECT_EQ(prop(u"LastCmd"), text(u"482915"));
  EXPECT_TRUE(c->callProc(u"ПечатьXОтчет", {text(u"000001")}).ok);
  EXPECT_EQ(prop(u"LastCmd"), text(u"000001"));
}

}  // namespace
}  // namespace abitest
