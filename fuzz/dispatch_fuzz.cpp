// The dispatcher through the binary interface: random method numbers (in and
// out of range), both call forms, random argument counts, and variants of
// every type code with random payloads and texts, against a port that
// answers random bytes.
//
// The component is the fuzz build (see fake_device.cpp), loaded with dlopen
// and driven by slot number through the host library, as the platform does.
// The host library's memory manager records every block: a text that reaches
// the host from anywhere else, a foreign free, or a call of the connection
// object is a finding, and so is a Counter above 20 or a field longer than
// 149 characters.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "abihost/host.h"
#include "device/answer.h"

using abihost::Component;
using abihost::Library;
using abihost::Value;
namespace L = abihost::layout;

namespace {

using PortScriptFn = uint64_t (*)(const uint8_t*, size_t);

Library& library() {
  static Library lib(OSTREL_FUZZ_LIBRARY);
  return lib;
}

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
  }
}

void checkClean(Component& c) {
  auto problems = c.problems();
  if (!problems.empty()) {
    std::fprintf(stderr, "host-side problem: %s\n", problems.front().c_str());
    std::abort();
  }
}

// Text lengths at the edges of the data fields, and random ones.
size_t textLength(FuzzedDataProvider& in) {
  static const size_t kEdges[] = {0, 1, 6, 98, 99, 100, 198, 199, 200, 219, 220, 1000};
  if (in.ConsumeBool()) return kEdges[in.ConsumeIntegralInRange<size_t>(0, sizeof kEdges / sizeof kEdges[0] - 1)];
  return in.ConsumeIntegralInRange<size_t>(0, 40);
}

char16_t character(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return static_cast<char16_t>(in.ConsumeIntegralInRange<int>(0x20, 0x7E));
    case 1: return static_cast<char16_t>(in.ConsumeIntegralInRange<int>(0x0410, 0x044F));  // Cyrillic
    case 2: return static_cast<char16_t>(in.ConsumeIntegralInRange<int>(0xD800, 0xDFFF));  // surrogate halves
    case 3: return static_cast<char16_t>(in.ConsumeIntegralInRange<int>(0, 0x1F));         // controls, NUL
    case 4: return u';';
    case 5: return static_cast<char16_t>(in.ConsumeIntegralInRange<int>('0', '9'));
    default: return static_cast<char16_t>(in.ConsumeIntegral<uint16_t>());
  }
}

std::u16string text(FuzzedDataProvider& in) {
  const size_t length = textLength(in);
  std::u16string out;
  out.reserve(length);
  // Long texts repeat a short random pattern, so the input stays small.
  std::u16string pattern;
  const size_t patternLength = in.ConsumeIntegralInRange<size_t>(1, 8);
  for (size_t i = 0; i < patternLength; ++i) pattern.push_back(character(in));
  for (size_t i = 0; i < length; ++i) out.push_back(pattern[i % pattern.size()]);
  if (!out.empty() && in.ConsumeBool()) out[in.ConsumeIntegralInRange<size_t>(0, out.size() - 1)] = character(in);
  return out;
}

double real(FuzzedDataProvider& in) {
  static const double kSpecial[] = {0.0, -0.0, 0.5, 1e300, -1e300, 2147483648.0, -2147483649.0, 1.0 / 0.0,
                                    -1.0 / 0.0, 0.0 / 0.0, 4.9e-324, 12345.678};
  if (in.ConsumeBool()) return kSpecial[in.ConsumeIntegralInRange<size_t>(0, sizeof kSpecial / sizeof kSpecial[0] - 1)];
  return static_cast<double>(in.ConsumeIntegral<int64_t>()) / (in.ConsumeBool() ? 1.0 : 100.0);
}

Value argument(FuzzedDataProvider& in, void* someObject) {
  // Every type code, and a few past the last one.
  const uint16_t type = in.ConsumeIntegralInRange<uint16_t>(0, 27);
  switch (type) {
    case L::VT_I1: return Value::i1(in.ConsumeIntegral<int8_t>());
    case L::VT_I2: return Value::i2(in.ConsumeIntegral<int16_t>());
    case L::VT_I4: return Value::i4(in.ConsumeIntegral<int32_t>());
    case L::VT_I8: return Value::i8(in.ConsumeIntegral<int64_t>());
    case L::VT_UI1: return Value::ui1(in.ConsumeIntegral<uint8_t>());
    case L::VT_UI2: return Value::ui2(in.ConsumeIntegral<uint16_t>());
    case L::VT_UI4: return Value::ui4(in.ConsumeIntegral<uint32_t>());
    case L::VT_UI8: return Value::ui8(in.ConsumeIntegral<uint64_t>());
    case L::VT_INT: return Value::int_(in.ConsumeIntegral<int32_t>());
    case L::VT_UINT: return Value::uint_(in.ConsumeIntegral<uint32_t>());
    case L::VT_R4: return Value::r4(static_cast<float>(real(in)));
    case L::VT_R8: return Value::r8(real(in));
    case L::VT_DATE: return Value::date(real(in));
    case L::VT_BOOL: return Value::boolean_(in.ConsumeBool());
    case L::VT_ERROR: return Value::error(in.ConsumeIntegral<int32_t>());
    case L::VT_PWSTR: return Value::text_(text(in));
    case L::VT_PSTR: return Value::pstr(in.ConsumeRandomLengthString(64));
    case L::VT_BLOB: return Value::blob(in.ConsumeRandomLengthString(64));
    case L::VT_INTERFACE: return Value::interface_(someObject);
    default: {
      // EMPTY, NULL, TM, VARIANT, HRESULT, CLSID and unknown codes: the type
      // code with a zeroed payload.
      Value v;
      v.type = type;
      return v;
    }
  }
}

}  // namespace

// Loads the component before the first input, so its coverage counters are
// known to the fuzzer from the start.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  library();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto portScript = reinterpret_cast<PortScriptFn>(library().symbol("OstrelFuzzPortScript"));
  check(portScript != nullptr, "the fuzz build lacks OstrelFuzzPortScript");

  FuzzedDataProvider in(data, size);
  // The printer's side: a run of bytes the port answers from.
  std::vector<uint8_t> answers = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 2048));
  portScript(answers.data(), answers.size());

  std::shared_ptr<Library> lib(&library(), [](Library*) {});
  Component c(lib);
  static int dummyObject[16];

  // Counts and numbers from the component's own tables.
  static const long methods = c.getNMethods();
  static const long openPort = c.findMethod(u"OpenPort"), retItem = c.findMethod(u"RetItem");
  check(methods > 0 && openPort >= 0 && retItem >= 0, "the component lacks its method table");

  // A port to talk on, unless the script closes it again.
  c.callFunc(openPort, {Value::ui1(1), Value::ui4(9600)});

  for (int calls = 0; calls < 48 && in.remaining_bytes() > 0; ++calls) {
    // Two numbers below the table and two past its end as well.
    const long method = in.ConsumeIntegralInRange<long>(-2, methods + 1);
    const bool function = in.ConsumeBool();
    std::vector<Value> args;
    const int count = in.ConsumeIntegralInRange<int>(0, 14);
    for (int i = 0; i < count; ++i) args.push_back(argument(in, dummyObject));
    if (in.ConsumeBool() && method >= 0 && method < methods) args = c.withDefaults(method, std::move(args));
    if (function)
      c.callFunc(method, args);
    else
      c.callProc(method, args);

    auto counter = c.getProperty(u"Counter");
    check(counter && counter->integer >= 0 && counter->integer <= ostrel::kMaxAnswerFields, "Counter out of range");
    for (int64_t i = 0; i < counter->integer; ++i) {
      auto item = c.callFunc(retItem, {Value::text_(u""), Value::i4(static_cast<int32_t>(i))});
      check(item.ok && item.result.text.size() < ostrel::kAnswerSlotSize, "answer field longer than an answer slot holds");
    }
    c.getProperty(u"ErrorDescription");
    c.getProperty(u"LastCmd");
    checkClean(c);
  }
  checkClean(c);
  return 0;
}
