// Creation, initialisation, registration and destruction of component
// objects through the exports and the IInitDoneBase / LocaleBase slots, and
// the property values a freshly initialised object shows.
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include <stdlib.h>

#include "abi_fixture.h"
#include "tests/support/comma_locale.h"

namespace abitest {
namespace {

std::u16string cText(const char16_t* p) { return p ? std::u16string(p) : u"<null>"; }

TEST(Exports, ClassNamesAreOneTextAtOneAddress) {
  auto lib = productLibrary();
  EXPECT_NE(lib->symbol("GetClassNames"), nullptr);
  EXPECT_NE(lib->symbol("GetClassObject"), nullptr);
  EXPECT_NE(lib->symbol("DestroyObject"), nullptr);
  const char16_t* first = lib->getClassNames();
  const char16_t* second = lib->getClassNames();
  EXPECT_EQ(first, second);
  EXPECT_EQ(utf8(cText(first)), "CAddInNative");
}

TEST(Exports, GetClassObjectFillsOnlyAnEmptyPointer) {
  auto lib = productLibrary();
  void* object = nullptr;
  long answer = lib->getClassObject(u"CAddInNative", &object);
  ASSERT_NE(object, nullptr);
  EXPECT_NE(answer, 0);

  void* kept = object;
  EXPECT_EQ(lib->getClassObject(u"CAddInNative", &object), 0);
  EXPECT_EQ(object, kept);

  EXPECT_EQ(lib->destroyObject(&object), 0);
  EXPECT_EQ(object, nullptr);
}

TEST(Exports, DestroyObjectRefusesANullObject) {
  auto lib = productLibrary();
  void* object = nullptr;
  EXPECT_EQ(lib->destroyObject(&object), -1);
  // A null address, which no platform passes, must not bring the host down.
  EXPECT_EXIT(std::exit(productLibrary()->destroyObject(nullptr) == -1 ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST(Exports, ObjectsAreIndependent) {
  Component a(productLibrary());
  Component b(productLibrary());
  EXPECT_NE(a.object(), b.object());
  a.callProc(a.findMethod(u"PrintXReportL"), {text(u"111111")});
  b.callProc(b.findMethod(u"PrintXReportL"), {text(u"222222")});
  EXPECT_EQ(a.getProperty(u"LastCmd"), text(u"111111"));
  EXPECT_EQ(b.getProperty(u"LastCmd"), text(u"222222"));
  expectNoProblems(a);
  EXPECT_EQ(a.destroy(), 0);
  EXPECT_EQ(b.getProperty(u"LastCmd"), text(u"222222"));
  expectNoProblems(b);
}

TEST(Lifecycle, InitAndSetMemManagerAnswerByTheirArgument) {
  Component c(productLibrary(), Component::Setup::Created);
  EXPECT_EQ(c.getInfo(), 5030);
  EXPECT_FALSE(c.setMemManager(nullptr));
  EXPECT_TRUE(c.setMemManager());
  EXPECT_FALSE(c.init(nullptr));
  EXPECT_TRUE(c.init());
  EXPECT_EQ(c.getInfo(), 5030);
  c.done();
  EXPECT_EQ(c.getInfo(), 5030);
  expectNoProblems(c);
}

TEST(Lifecycle, InitWithoutConnectionStillResetsTheState) {
  Component c(productLibrary(), Component::Setup::Created);
  c.setMemManager();
  EXPECT_FALSE(c.init(nullptr));
  EXPECT_EQ(c.getProperty(u"Port"), Value::ui2(1));
  EXPECT_EQ(c.getProperty(u"Baud"), Value::ui4(9600));
  EXPECT_EQ(c.getProperty(u"ErrorCode"), text(u"0000"));
  expectNoProblems(c);
}

TEST(Lifecycle, ExtensionNameComesFromTheMemoryManager) {
  Component c(productLibrary());
  EXPECT_EQ(shown(c.extensionName()), "OstrelX");
  EXPECT_EQ(c.memory().liveCount(), 0u);
  expectNoProblems(c);
}

TEST(Lifecycle, ExtensionNameWithoutMemoryManagerFails) {
  Component c(productLibrary(), Component::Setup::Created);
  c.init();
  char16_t* name = nullptr;
  EXPECT_FALSE(c.registerExtensionAs(&name));
  EXPECT_EQ(name, nullptr);
  expectNoProblems(c);
}

// The platform would read an unset pointer after a true answer.
TEST(Lifecycle, ExtensionNameFailsWhenTheAllocationFails) {
  Component c(productLibrary());
  c.memory().failAll(true);
  char16_t sentinel = 0;
  char16_t* name = &sentinel;
  EXPECT_FALSE(c.registerExtensionAs(&name));
  EXPECT_GE(c.memory().failedCount(), 1u);
  EXPECT_EQ(c.memory().liveCount(), 0u);
  expectNoProblems(c);
}

TEST(Lifecycle, DoneLeavesTheObjectUsable) {
  Component c(productLibrary());
  c.done();
  EXPECT_EQ(c.getProperty(u"Port"), Value::ui2(1));
  EXPECT_EQ(c.findMethod(u"OpenPort"), 0);
  expectNoProblems(c);
}

// Texts the component makes from numbers must not follow the C locale that
// SetLocale switches the whole process to.
TEST(Lifecycle, SetLocaleDoesNotChangeNumberTexts) {
  Component c(productLibrary());
  c.setLocale(u"C");
  EXPECT_EQ(c.getInfo(), 5030);
  bool commaLocale = false;
  {
    CommaLocale comma([&](const char* name) { c.setLocale(abihost::fromUtf8(name).c_str()); });
    commaLocale = comma.active();
    if (commaLocale) {
      for (auto [arg, expected] : {std::pair{Value::r8(10.5), u"10.5"}, std::pair{Value::r4(0.25f), u"0.25"}}) {
        EXPECT_TRUE(c.callProc(c.findMethod(u"PrintXReportL"), {arg}).ok);
        EXPECT_EQ(c.getProperty(u"LastCmd"), text(expected));
      }
      EXPECT_EQ(c.callFunc(3, {text(u""), Value::r8(2.0)}).ok, true);
    }
  }
  expectNoProblems(c);
  if (!commaLocale) GTEST_SKIP() << "no locale with a decimal comma could be had";
}

using PropertyValues = AbiTest;

// Each value read into a variant full of garbage: a number written narrower
// than its type, or a text without its length, shows up.
TEST_F(PropertyValues, AfterInit) {
  struct Case {
    long number;
    std::optional<Value> expected;  // nullopt: GetPropVal answers false
  } cases[] = {
      {0, Value::ui2(1)},
      {1, Value::ui4(9600)},
      {2, Value::boolean_(false)},
      {3, text(u"")},
      {4, text(u"")},
      {5, std::nullopt},
      {6, text(u"0000")},
      {7, text(u"ORVETA native 1C dll  5.0.3.4")},
      {8, text(u"Brodavin")},
      {9, text(u"ДП Компания ORVETA")},
      {10, std::nullopt},
      {11, text(u"0000")},
      {12, text(u"Нет ошибки")},
      {13, Value::ui2(0)},
      {14, Value::ui4(0)},
      {15, Value::ui4(0)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE("property " + std::to_string(k.number));
    RawVariant raw;
    raw.fill(0xEE);
    bool ok = c->getPropVal(k.number, &raw);
    ASSERT_EQ(ok, k.expected.has_value());
    if (!ok) continue;
    std::vector<std::string> problems;
    Value got = Value::fromRaw(raw, &c->memory(), &problems);
    for (const std::string& p : problems) ADD_FAILURE() << p;
    EXPECT_EQ(got, *k.expected);
    if (got.isText()) c->memory().release(raw.pointer());
  }
  EXPECT_EQ(c->memory().liveCount(), 0u);
}

// SetPropVal answers true for the first four numbers and stores nothing.
TEST_F(PropertyValues, WritesChangeNothing) {
  EXPECT_TRUE(c->setProperty(0, Value::ui2(7)));
  EXPECT_TRUE(c->setProperty(1, Value::ui4(19200)));
  EXPECT_TRUE(c->setProperty(2, Value::boolean_(true)));
  EXPECT_TRUE(c->setProperty(3, text(u"x")));
  EXPECT_FALSE(c->setProperty(4, text(u"x")));
  EXPECT_FALSE(c->setProperty(10, text(u"1")));
  EXPECT_FALSE(c->setProperty(16, Value::ui4(1)));
  EXPECT_EQ(prop(u"Port"), Value::ui2(1));
  EXPECT_EQ(prop(u"Baud"), Value::ui4(9600));
  EXPECT_EQ(prop(u"IsOpen"), Value::boolean_(false));
  EXPECT_EQ(prop(u"LastCmd"), text(u""));
}

TEST(PropertyValuesWithoutMemory, TextsAreNotDeliveredNumbersAre) {
  Component c(productLibrary(), Component::Setup::Created);
  c.init();
  EXPECT_EQ(c.getProperty(u"Port"), Value::ui2(1));
  EXPECT_EQ(c.getProperty(u"Version"), std::nullopt);
  EXPECT_EQ(c.getProperty(u"ErrorCode"), std::nullopt);
  expectNoProblems(c);
}

TEST(PropertyValuesWithFailingMemory, TextsAreNotDelivered) {
  Component c(productLibrary());
  c.memory().failAll(true);
  EXPECT_EQ(c.getProperty(u"Version"), std::nullopt);
  EXPECT_EQ(c.getProperty(u"Counter"), Value::ui2(0));
  EXPECT_EQ(c.memory().liveCount(), 0u);
  expectNoProblems(c);
}

}  // namespace
}  // namespace abitest
