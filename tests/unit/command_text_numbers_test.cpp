#include <gtest/gtest.h>

#include <clocale>

#include "tests/support/comma_locale.h"

#include "command/numbers.h"
#include "command/text.h"
#include "reports/reports.h"

namespace ostrel {
namespace {

TEST(Text, Windows1251RoundTripsEveryAssignedByte) {
  for (int b = 1; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    std::u16string wide = WideFromAnsi(one);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(AnsiFromWide(wide), one) << b;
  }
}

TEST(Text, KnownLettersAndUnmappableCharacters) {
  struct Case {
    std::u16string wide;
    std::string bytes;
  } cases[] = {
      {u"Молоко", "\xCC\xEE\xEB\xEE\xEA\xEE"},
      {u"ЁёЄєІіЇїҐґ", "\xA8\xB8\xAA\xBA\xB2\xB3\xAF\xBF\xA5\xB4"},
      {u"€№", "\x88\xB9"},
      {u"日本", "??"},
      {u"\U0001F600", "?"},          // a surrogate pair is one character
      {std::u16string(1, 0xD800), "?"},  // a lone surrogate
  };
  for (const auto& k : cases) EXPECT_EQ(AnsiFromWide(k.wide), k.bytes);
}

TEST(Numbers, WrittenAndReadTheSameInACommaLocale) {
  CommaLocale comma([](const char* name) { std::setlocale(LC_ALL, name); });
  if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma could be had";
  EXPECT_EQ(ShortestText(10.5), "10.5");
  EXPECT_EQ(ShortestText(3.0), "3");
  EXPECT_EQ(ShortestText(100000.0), "100000");
  EXPECT_EQ(ShortestText(0.0001), "0.0001");
  EXPECT_EQ(ShortestText(1e300).size(), 301u);
  EXPECT_EQ(ShortestText(-1.7976931348623157e308).size(), 310u);
  EXPECT_EQ(MoneyText(100), "100.00");
  EXPECT_EQ(MoneyText(-12.5), "-12.50");
  EXPECT_DOUBLE_EQ(ParseLeadingDecimal("1234.50"), 1234.5);
  EXPECT_DOUBLE_EQ(ParseLeadingDecimal("12,50"), 12);
}

TEST(Numbers, LeadingDecimalReadsTheLongestNumber) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"  12.5abc", 12.5}, {"12,50", 12}, {"-3", -3}, {"+4.", 4}, {"1e3", 1000}, {"1e", 1},
               {"", 0},           {"abc", 0},    {".5", 0.5}, {"-", 0},   {"1.5e-2x", 0.015}};
  for (const auto& k : cases) EXPECT_DOUBLE_EQ(ParseLeadingDecimal(k.text), k.value) << k.text;
}

TEST(Numbers, LeadingIntegerSaturates) {
  EXPECT_EQ(ParseLeadingInteger(" 48 "), 48);
  EXPECT_EQ(ParseLeadingInteger("-7x"), -7);
  EXPECT_EQ(ParseLeadingInteger("x"), 0);
  EXPECT_EQ(ParseLeadingInteger("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseLeadingInteger("-99999999999999999999"), -2147483647 - 1);
}

TEST(ArticleCode, IdentityToFirstCode) {
  struct Case {
    std::string identity;
    uint32_t code;
  } cases[] = {{"Milk5", 178855}, {"0", 50209}};
  for (const auto& k : cases) {
    EXPECT_EQ(reports::ArticleCode(reinterpret_cast<const uint8_t*>(k.identity.data()), k.identity.size()), k.code);
  }
}

}  // namespace
}  // namespace ostrel
