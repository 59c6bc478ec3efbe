// Typed arguments: each word form and the value it becomes, the words that
// are refused, and the splitting of scenario lines.
#include <gtest/gtest.h>

#include "abihost/layout.h"
#include "values.h"

namespace addinhost {
namespace {

namespace L = abihost::layout;
using abihost::Value;

struct Case {
  const char* word;
  Value value;
};

TEST(Arguments, WordsBecomeTypedValues) {
  const Case cases[] = {
      {"\"5\"", Value::text_(u"5")},
      {"\"a \\\"b\\\" \\\\ c\"", Value::text_(u"a \"b\" \\ c")},
      {"\"\"", Value::text_(u"")},
      {"Port", Value::text_(u"Port")},
      {"/dev/pts/3", Value::text_(u"/dev/pts/3")},
      {"\"Молоко\"", Value::text_(u"Молоко")},
      {"482915", Value::i4(482915)},
      {"-7", Value::i4(-7)},
      {"5000000000", Value::i8(5000000000LL)},
      {"1.5", Value::r8(1.5)},
      {"-0.25", Value::r8(-0.25)},
      {"true", Value::boolean_(true)},
      {"Ложь", Value::boolean_(false)},
      {"ui1:0", Value::ui1(0)},
      {"ui4:115200", Value::ui4(115200)},
      {"i2:-3", Value::i2(-3)},
      {"r8:2", Value::r8(2.0)},
      {"s:482915", Value::text_(u"482915")},
      {"s:\"two words\"", Value::text_(u"two words")},
      {"bool:false", Value::boolean_(false)},
      {"date:1899-12-31", Value::date(1.0)},
      {"date:2000-01-01T12:00:00", Value::date(36526.5)},
      {"empty", Value::empty()},
      {"COM3", Value::text_(u"COM3")},
  };
  for (const auto& c : cases) {
    Arg a;
    std::string error;
    ASSERT_TRUE(parseArg(c.word, a, error)) << c.word << ": " << error;
    EXPECT_EQ(a.kind, Arg::Given) << c.word;
    EXPECT_EQ(a.value, c.value) << c.word << " gave " << a.value;
  }
}

TEST(Arguments, DefaultsCapturesAndVariables) {
  Arg a;
  std::string error;
  ASSERT_TRUE(parseArg("_", a, error));
  EXPECT_EQ(a.kind, Arg::Default);
  ASSERT_TRUE(parseArg(">id", a, error));
  EXPECT_EQ(a.kind, Arg::Capture);
  EXPECT_EQ(a.name, "id");
  ASSERT_TRUE(parseArg("$port", a, error));
  EXPECT_EQ(a.kind, Arg::Variable);
  EXPECT_EQ(a.name, "port");
}

TEST(Arguments, MalformedWordsAreRefusedWithAReason) {
  for (const char* word : {"\"open", "\"a\"b\"", "\"\\q\"", "ui1:256", "ui4:-1", "i4:12x", "bool:yes",
                           "date:2023-02-30", "date:2023-1-1", "$", ">a-b", "ab\"c", ""}) {
    Arg a;
    std::string error;
    EXPECT_FALSE(parseArg(word, a, error)) << word;
    EXPECT_FALSE(error.empty()) << word;
  }
}

TEST(Arguments, PrintedValuesReadBackAsTheSameValue) {
  for (const Value& v : {Value::text_(u"x \"y\"\n"), Value::i4(-3), Value::ui1(7), Value::ui4(115200), Value::r8(1.0),
                         Value::r8(0.1), Value::boolean_(true), Value::date(36526.5), Value::i8(1LL << 40)}) {
    Arg a;
    std::string error;
    std::string word = formatValue(v);
    ASSERT_TRUE(parseArg(word, a, error)) << word << ": " << error;
    EXPECT_EQ(a.value, v) << word;
  }
}

TEST(ScenarioLines, WordsQuotesAndComments) {
  struct LineCase {
    const char* line;
    std::vector<std::string> words;
  } cases[] = {
      {"SellArticul \"482915\" \"5\"  # the milk", {"SellArticul", "\"482915\"", "\"5\""}},
      {"PrintComment _ \"a # b\"", {"PrintComment", "_", "\"a # b\""}},
      {"  # only a comment", {}},
      {"", {}},
      {"!000B SellArticul s:\"two words\"", {"!000B", "SellArticul", "s:\"two words\""}},
      {"PrintComment _ \"say \\\"hi\\\"\"", {"PrintComment", "_", "\"say \\\"hi\\\"\""}},
      {"SumCash == \"0.00\"", {"SumCash", "==", "\"0.00\""}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words;
    std::string error;
    ASSERT_TRUE(splitWords(c.line, words, error)) << c.line;
    EXPECT_EQ(words, c.words) << c.line;
  }
  std::vector<std::string> words;
  std::string error;
  EXPECT_FALSE(splitWords("PrintComment \"open", words, error));
}

}  // namespace
}  // namespace addinhost
