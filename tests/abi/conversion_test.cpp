// How arguments of the wrong type are treated: converted where the
// conversion is exact and obvious, refused (false, nothing changed) where it
// is not. A refused call must not touch the object, so LastCmd, which every
// accepted command sets to its password, keeps its earlier value.
#include <cmath>
#include <limits>

#include "abi_fixture.h"

namespace abitest {
namespace {

const std::u16string kMarker = u"777777";

class Conversion : public AbiTest {
 protected:
  void SetUp() override {
    // Short waits: a wrong answer here must not cost a minute per case.
    c = std::make_unique<Component>(testLibrary());
    ASSERT_TRUE(c->callProc(u"PrintXReportL", {text(kMarker)}).ok);
    ASSERT_EQ(prop(u"LastCmd"), text(kMarker));
  }

  // Runs `method` and reports the LastCmd that follows, or nullopt when the
  // call was refused; a refused call must have left LastCmd alone.
  std::optional<std::u16string> run(const std::u16string& method, const std::vector<Value>& args) {
    CallResult r = c->callProc(method, args);
    Value last = prop(u"LastCmd");
    if (!r.ok) {
      EXPECT_EQ(last, text(kMarker)) << "a refused call changed LastCmd";
      return std::nullopt;
    }
    return last.text;
  }

  void restoreMarker() { c->callProc(u"PrintXReportL", {text(kMarker)}); }
};

Value blob() { return Value::blob("\x01\x02"); }
Value pstr() { return Value::pstr("482915"); }
Value iface() {
  static int dummy;
  return Value::interface_(&dummy);
}
Value nullValue() { return Value::null(); }

// A text parameter: the password of PrintXReportL, which LastCmd shows.
TEST_F(Conversion, TextParameterTakesTextsAndNumbers) {
  struct Case {
    Value arg;
    std::u16string expected;
  } cases[] = {
      {text(u"482915"), u"482915"},
      {text(u"пароль"), u"пароль"},
      {Value::empty(), u""},
      {Value::i1(-5), u"-5"},
      {Value::i2(-300), u"-300"},
      {Value::i4(3), u"3"},
      {Value::i4(std::numeric_limits<std::int32_t>::min()), u"-2147483648"},
      {Value::i8(-9000000000LL), u"-9000000000"},
      {Value::ui1(255), u"255"},
      {Value::ui2(65535), u"65535"},
      {Value::ui4(4294967295u), u"4294967295"},
      {Value::ui8(18446744073709551615ull), u"18446744073709551615"},
      {Value::int_(-7), u"-7"},
      {Value::uint_(7), u"7"},
      {Value::r4(2.5f), u"2.5"},
      {Value::r8(10.5), u"10.5"},
      {Value::r8(3.0), u"3"},
      {Value::r8(0.1), u"0.1"},
      {Value::r8(-0.25), u"-0.25"},
      {Value::r8(123456.789), u"123456.789"},
      // Plain decimal, never an exponent.
      {Value::r8(100000.0), u"100000"},
      {Value::r8(0.0001), u"0.0001"},
      {Value::r8(2.5), u"2.5"},
      {Value::r8(1e21), u"1000000000000000000000"},
      {Value::r8(-1e-7), u"-0.0000001"},
      {Value::r4(100000.0f), u"100000"},
      {Value::r4(0.1f), u"0.1"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.arg.toString());
    restoreMarker();
    EXPECT_EQ(shown(run(u"PrintXReportL", {k.arg})), utf8(k.expected));
  }
}

TEST_F(Conversion, TextParameterRefusesOtherTypes) {
  Value cases[] = {Value::boolean_(true), Value::boolean_(false), Value::date(45000.5), blob(), iface(), pstr(),
                   nullValue(), Value::error(5)};
  for (const Value& arg : cases) {
    SCOPED_TRACE(arg.toString());
    EXPECT_EQ(run(u"PrintXReportL", {arg}), std::nullopt);
  }
  // A text parameter after the password: the call is refused before the
  // password is taken.
  EXPECT_EQ(run(u"PeriodicReportByDate", {text(u"111111"), Value::boolean_(true), text(u"01012016"), Value::ui4(0)}),
            std::nullopt);
  EXPECT_EQ(shown(run(u"PeriodicReportByDate", {text(u"111111"), text(u"01012016"), text(u"31122021"), Value::ui4(0)})),
            "111111");
}

// An integer parameter (the first number of PeriodicReportByNum) and a byte
// parameter (the command code of DirectIO). The password goes first, so an
// accepted call shows it in LastCmd and a refused one leaves the marker.
TEST_F(Conversion, IntegerAndByteParametersTakeIntegralValues) {
  Value accepted[] = {
      Value::i1(-5),        Value::i2(300),        Value::i4(-12),       Value::i8(12),
      Value::ui1(200),      Value::ui2(12),        Value::ui4(12),       Value::ui8(12),
      Value::int_(12),      Value::uint_(12),      Value::boolean_(true), Value::boolean_(false),
      Value::empty(),       Value::r8(12.0),       Value::r8(-3.0),      text(u"12"),
      text(u"-3"),
  };
  for (const Value& arg : accepted) {
    SCOPED_TRACE(arg.toString());
    restoreMarker();
    EXPECT_EQ(shown(run(u"PeriodicReportByNum", {text(u"111111"), arg, Value::ui4(0), Value::ui4(0)})), "111111");
    restoreMarker();
    EXPECT_EQ(shown(run(u"DirectIO", {text(u"222222"), arg, text(u"")})), "222222");
  }
}

TEST_F(Conversion, IntegerAndByteParametersRefuseEverythingElse) {
  Value refused[] = {
      Value::r8(12.5),     Value::r8(-0.1),      Value::r8(1e10),   Value::r8(std::nan("")),
      Value::r8(INFINITY), text(u"abc"),         text(u"12abc"),    text(u"1.5"),
      Value::date(45000.0), blob(),              iface(),           pstr(),
      nullValue(),
  };
  for (const Value& arg : refused) {
    SCOPED_TRACE(arg.toString());
    EXPECT_EQ(run(u"PeriodicReportByNum", {text(u"111111"), arg, Value::ui4(0), Value::ui4(0)}), std::nullopt);
    EXPECT_EQ(run(u"DirectIO", {text(u"222222"), arg, text(u"")}), std::nullopt);
  }
}

// A text where an integer is expected also reaches the function form.
TEST_F(Conversion, RetItemTakesItsIndexAsAnyIntegralValue) {
  for (const Value& arg : {Value::ui1(0), Value::i4(-1), Value::r8(2.0), text(u"5"), Value::empty()}) {
    SCOPED_TRACE(arg.toString());
    CallResult r = c->callFunc(3, {text(u"482915"), arg});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.result, text(u""));
  }
  for (const Value& arg : {Value::r8(0.5), text(u"x"), blob()}) {
    SCOPED_TRACE(arg.toString());
    CallResult r = c->callFunc(3, {text(u"482915"), arg});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.result, Value::empty());
  }
}

}  // namespace
}  // namespace abitest
