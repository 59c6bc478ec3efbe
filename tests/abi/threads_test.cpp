// Two component objects driven from two threads at once: each keeps its own
// state, and the error-text lookups share nothing mutable between them.
#include <thread>

#include "abi_fixture.h"

namespace abitest {
namespace {

struct Outcome {
  int wrongLastCmd = 0;
  int wrongDescription = 0;
  int wrongLastError = 0;
  int failedCalls = 0;
};

// Each round looks up the message of the code "0000" (after Init) and the
// time-out message (after a command on the closed port), in both the
// property and GetLastError.
void drive(Component& c, const std::u16string& password, int rounds, Outcome& out) {
  const std::u16string noError = u"Нет ошибки";
  const std::u16string timeout = u"Неизвестная ошибка или таймаут регистратора";
  long xReport = c.findMethod(u"PrintXReportL");
  long lastError = c.findMethod(u"GetLastError");
  auto check = [&](const std::u16string& message) {
    std::optional<Value> description = c.getProperty(u"ErrorDescription");
    if (!description || description->text != message) ++out.wrongDescription;
    std::optional<Value> code = c.getProperty(u"ErrorCode");
    if (!code || code->text != u"0000") ++out.wrongDescription;
    CallResult e = c.callFunc(lastError, {Value::empty()});
    if (!e.ok || e.args.size() != 1 || e.args[0].text != message + u": 0000") ++out.wrongLastError;
  };
  for (int i = 0; i < rounds; ++i) {
    if (!c.init()) ++out.failedCalls;
    check(noError);
    if (!c.callProc(xReport, {Value::text_(password)}).ok) ++out.failedCalls;
    std::optional<Value> last = c.getProperty(u"LastCmd");
    if (!last || last->text != password) ++out.wrongLastCmd;
    check(timeout);
  }
}

TEST(Threads, TwoObjectsInTwoThreadsKeepTheirOwnState) {
  Component a(testLibrary());
  Component b(testLibrary());
  Outcome oa, ob;
  const int rounds = 2000;
  std::thread ta([&] { drive(a, u"111111", rounds, oa); });
  std::thread tb([&] { drive(b, u"222222", rounds, ob); });
  ta.join();
  tb.join();
  for (const Outcome* o : {&oa, &ob}) {
    EXPECT_EQ(o->failedCalls, 0);
    EXPECT_EQ(o->wrongLastCmd, 0);
    EXPECT_EQ(o->wrongDescription, 0);
    EXPECT_EQ(o->wrongLastError, 0);
  }
  expectNoProblems(a);
  expectNoProblems(b);
  EXPECT_EQ(a.memory().liveCount(), 0u);
  EXPECT_EQ(b.memory().liveCount(), 0u);
}

}  // namespace
}  // namespace abitest
