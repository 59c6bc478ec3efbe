// Hostile scripts: every method, in both call forms, with no arguments, too
// many, each wrong type in each position, texts of the edge lengths and
// texts the code page cannot hold. Whatever the script passes, the component
// does not crash, hands the host only texts from its memory manager, sends
// no frame with a NUL byte or a cut text in it, and a call it refuses sends
// nothing at all.
#include <algorithm>
#include <set>

#include "../e2e/fixture.h"
#include "figures.h"

namespace e2e {
namespace {

namespace L = abihost::layout;

constexpr size_t kFormatLimit = 199;
constexpr char16_t kMark = u'Q';  // the character of the long texts; nothing else sends it

class HostileScripts : public Printer {
 protected:
  void SetUp() override {
    Printer::SetUp();
    connect();
  }

  // A method that closed the port is followed by a fresh component, so each
  // call meets a connected printer.
  void ensureConnected() {
    if (propNumber(u"IsOpen")) return;
    if (!c->problems().empty()) ADD_FAILURE() << c->problems().front();
    c.reset();
    c = newComponent();
    connect();
  }

  // One hostile call and the checks every call must pass. `marks` is the
  // length of the run of kMark the arguments hold (0 for none).
  void attempt(long method, bool function, const std::vector<Value>& args, const std::string& what,
               size_t marks = 0) {
    ensureConnected();
    sim.clearRequests();
    abihost::CallResult r = function ? c->callFunc(method, args) : c->callProc(method, args);
    figures::callTried();
    const std::string where = "method " + std::to_string(method) + (function ? " func " : " proc ") + what;
    EXPECT_TRUE(r.problems.empty()) << where << ": " << r.problems.front();

    auto requests = sim.requests();
    if (!r.ok && !requests.empty()) {
      // A call the component refuses sends nothing; one that fails after
      // sending failed on the printer's word: an error code, or no answer.
      const bool printerRefused = utf8(propText(u"ErrorCode")) != "0000" || propNumber(u"Counter") == 0;
      EXPECT_TRUE(printerRefused) << where << ": answered false after command " << int(requests.back().command)
                                  << " \"" << requests.back().data << "\" succeeded";
    }
    for (const auto& request : requests) {
      EXPECT_EQ(request.data.find('\0'), std::string::npos) << where << ": a NUL byte sent";
      EXPECT_LE(request.data.size(), kFormatLimit) << where << ": an over-long data field sent";
      // A long text goes out whole or not at all: never cut.
      for (size_t at = request.data.find('Q'); at != std::string::npos; at = request.data.find('Q', at)) {
        size_t end = request.data.find_first_not_of('Q', at);
        size_t run = (end == std::string::npos ? request.data.size() : end) - at;
        EXPECT_EQ(run, marks) << where << ": a text cut to " << run << " characters";
        at += run;
      }
    }
  }

  long params(long method) { return c->getNParams(method); }
  std::vector<Value> defaults(long method) { return c->withDefaults(method, {}); }
};

// Values of the types no parameter takes.
std::vector<Value> wrongTypes() {
  static int object = 0;
  std::vector<Value> out = {Value::null(), Value::pstr("1"), Value::blob("1"), Value::interface_(&object),
                            Value::error(1), Value::date(1.0)};
  for (int type : {int(L::VT_TM), int(L::VT_VARIANT), int(L::VT_HRESULT), int(L::VT_CLSID), 99}) {
    Value v;
    v.type = static_cast<uint16_t>(type);
    out.push_back(v);
  }
  return out;
}

TEST_F(HostileScripts, NoArgumentsAndTooMany) {
  for (long m = 0; m < c->getNMethods(); ++m) {
    for (bool function : {false, true}) {
      attempt(m, function, {}, "without arguments");
      std::vector<Value> many = defaults(m);
      for (int extra = 0; extra < 3; ++extra) many.push_back(T(u"1"));
      attempt(m, function, many, "with three arguments too many");
    }
  }
}

TEST_F(HostileScripts, EachWrongTypeInEachPosition) {
  const auto wrong = wrongTypes();
  for (long m = 0; m < c->getNMethods(); ++m) {
    for (bool function : {false, true}) {
      for (long i = 0; i < params(m); ++i) {
        for (const Value& value : wrong) {
          std::vector<Value> args = defaults(m);
          args[static_cast<size_t>(i)] = value;
          attempt(m, function, args, "with " + value.toString() + " at " + std::to_string(i));
        }
      }
    }
  }
}

TEST_F(HostileScripts, TextsOfEdgeLengthsInEachPosition) {
  for (long m = 0; m < c->getNMethods(); ++m) {
    for (bool function : {false, true}) {
      for (long i = 0; i < params(m); ++i) {
        for (size_t length : {0, 98, 99, 100, 199, 200, 10000}) {
          std::vector<Value> args = defaults(m);
          args[static_cast<size_t>(i)] = T(std::u16string(length, kMark));
          attempt(m, function, args, "with " + std::to_string(length) + " characters at " + std::to_string(i),
                  length);
        }
      }
    }
  }
}

TEST_F(HostileScripts, TextsOutsideTheCodePageInEachPosition) {
  const std::u16string texts[] = {
      u"\xD83D\xDE00",                     // a surrogate pair (one character outside the BMP)
      u"a\xD800z",                         // a lone high surrogate
      u"a\xDC00z",                         // a lone low surrogate
      u"\xDC00\xD800",                     // a reversed pair
      u"中文 ½ ∑",                          // characters Windows-1251 has no byte for
      u"€№ЁёЇїҐґ",                         // characters it has
      std::u16string(150, u'\xD83D') + std::u16string(150, u'\xDE00'),
  };
  for (long m = 0; m < c->getNMethods(); ++m) {
    for (bool function : {false, true}) {
      for (long i = 0; i < params(m); ++i) {
        for (const auto& text : texts) {
          std::vector<Value> args = defaults(m);
          args[static_cast<size_t>(i)] = T(text);
          attempt(m, function, args, "with " + utf8(text.substr(0, 8)) + " at " + std::to_string(i));
        }
      }
    }
  }
}

// A data field one character over its limit is refused whole: nothing is
// sent, nothing changes.
TEST_F(HostileScripts, OverLongDataFieldsAreRefusedWithoutSending) {
  struct Case {
    const char16_t* method;
    std::vector<Value> args;
  };
  const std::u16string fits(192, u'Q');   // "482915;" + 192 = 199
  const std::u16string over(193, u'Q');   // 200
  const Case cases[] = {
      {u"DirectIO", {T(u"482915"), I(74), T(over)}},
      {u"PrintComment", {T(u"482915"), T(over)}},
      {u"SellArticul", {T(u"482915"), T(over), T(u"1"), T(u"1")}},
      {u"ProgramArticle", {T(u"482915"), T(u"1"), T(over)}},
  };
  for (const auto& k : cases) {
    ensureConnected();
    proc(u"IsRegExist");
    const std::u16string before = propText(u"LastCmd");
    sim.clearRequests();
    auto r = proc(k.method, k.args);
    figures::callTried();
    EXPECT_FALSE(r.ok) << utf8(k.method);
    EXPECT_TRUE(sent().empty()) << utf8(k.method);
    EXPECT_EQ(propText(u"LastCmd"), before) << utf8(k.method);
  }
  // The same shape within the limit goes out whole.
  auto r = proc(u"DirectIO", {T(u"482915"), I(74), T(fits)});
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(sent().size(), 1u);
  EXPECT_EQ(lastSent().data.size(), kFormatLimit);
}

}  // namespace
}  // namespace e2e
