// The component's vocabulary as the platform sees it through the vtables:
// every property and method name in both languages, parameter counts, return
// flags, every declared default, and the name lookup rules.
#include <cstring>
#include <optional>
#include <set>

#include "abi_fixture.h"

namespace abitest {
namespace {

struct PropertyRow {
  long number;
  const char16_t* english;
  const char16_t* russian;
};

// A declared default: the value, or only a type code ("value not set").
struct Default {
  long param;
  std::optional<Value> value;
  std::uint16_t type;
};
Default def(long param, Value v) { return Default{param, v, v.type}; }
Default unset(long param, std::uint16_t type) { return Default{param, std::nullopt, type}; }

struct MethodRow {
  long number;
  const char16_t* english;
  const char16_t* russian;
  long params;
  bool returnsValue;
  std::vector<Default> defaults;
};

const PropertyRow kProperties[] = {
    {0, u"Port", u"Порт"},
    {1, u"Baud", u"Скорость"},
    {2, u"IsOpen", u"ПортОткрыт"},
    {3, u"LastCmd", u"Команда"},
    {4, u"LastAnswer", u"Ответ"},
    {5, u"LastError", u"Ошибка"},
    {6, u"LastTextError", u"ТекстОшибки"},
    {7, u"Version", u"Версия"},
    {8, u"Author", u"Автор"},
    {9, u"CompanyName", u"ИмяКомпании"},
    {10, u"Password", u"Пароль"},
    {11, u"ErrorCode", u"КодОшибки"},
    {12, u"ErrorDescription", u"ОписаниеОшибки"},
    {13, u"Counter", u"СчетчикРез"},
    {14, u"ReceiptStatus", u"СостояниеЧека"},
    {15, u"ShiftStatus", u"СостояниеСмены"},
};

const MethodRow kMethods[] = {
    {0, u"OpenPort", u"ОткрытьПорт", 2, true, {def(0, Value::ui1(1)), def(1, Value::ui4(115200))}},
    {1, u"ClosePort", u"ЗакрытьПорт", 0, false, {}},
    {2, u"DirectIO", u"Команда", 3, false, {def(0, Value::text_(u"482915")), def(1, Value::ui1(0)), def(2, Value::text_(u""))}},
    {3, u"RetItem", u"Результат", 2, true, {def(0, Value::text_(u"482915")), def(1, Value::ui1(0))}},
    {4, u"BegRefundReceipt", u"ОткрытьВозврЧек", 3, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(1)), def(2, Value::ui4(1))}},
    {5, u"ResetReceipt", u"АннулироватьЧек", 1, false, {def(0, Value::text_(u"482915"))}},
    {6, u"OpenCashReceipt", u"ОткрытьЧекСлужВнВын", 3, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(1)), def(2, Value::ui4(1))}},
    {7, u"ServCashInOut", u"ВносВынос", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"0.00"))}},
    {8, u"PrintXReportL", u"ПечатьXОтчет", 1, false, {def(0, Value::text_(u"482915"))}},
    {9, u"PrintZReportL", u"ПечатьZОтчет", 1, false, {def(0, Value::text_(u"482915"))}},
    {10, u"BegFiscalReceipt", u"ОткрытьФискЧек", 3, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(1)), def(2, Value::ui4(1))}},
    {11, u"BeginNonFiscal", u"ОткрытьНефискЧек", 1, false, {def(0, Value::text_(u"482915"))}},
    {12, u"TotalByCash", u"ОплатитьНал", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"0.00"))}},
    {13, u"CloseReceipt", u"ЗакрытьЧек", 1, false, {def(0, Value::text_(u"482915"))}},
    {14, u"PrintComment", u"ПечатьТекста", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u""))}},
    {15, u"PrintBarCodeL", u"ПечатьШтрихКод", 6, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(1)), def(2, Value::ui4(2)), def(3, Value::ui4(1)), def(4, Value::ui4(0)), def(5, Value::text_(u""))}},
    {16, u"SellArticul", u"ПродатьАртикул", 4, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"1")), def(2, Value::text_(u"1.000")), def(3, Value::text_(u"1.00"))}},
    {17, u"DiscountPersArt", u"СкидкаПроцАрт", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"0.00"))}},
    {18, u"DiscountAbsArt", u"СкидкаАбсАрт", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"0.00"))}},
    {19, u"DiscountPersSum", u"СкидкаПроцСум", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"0.00"))}},
    {20, u"DiscountAbsSum", u"СкидкаАбсСум", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"0.00"))}},
    {21, u"PrintTotal", u"ПечататьИтог", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {22, u"TotalByCard", u"ОплатитьПлатКартой", 4, false, {def(0, Value::text_(u"482915")), def(1, Value::ui1(0)), def(2, Value::text_(u"0.00")), def(3, Value::text_(u""))}},
    {23, u"ProgramArticle", u"ЗапрограммироватьАртикул", 7, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"1")), def(2, Value::text_(u"")), def(3, Value::ui4(0)), def(4, Value::ui4(1)), def(5, Value::text_(u"00")), def(6, Value::text_(u""))}},
    {24, u"GetStatusBit", u"БитСтатуса", 4, true, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::ui4(0)), def(3, Value::ui4(0))}},
    {25, u"GetStatusByte", u"БайтСтатуса", 0, false, {}},
    {26, u"IsRegExist", u"ЗапросНаСвязь", 1, true, {def(0, Value::text_(u"482915"))}},
    {27, u"SumCash", u"СуммаНаличКасса", 1, true, {def(0, Value::text_(u"482915"))}},
    {28, u"SumRefund", u"СуммаВозвратов", 2, true, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {29, u"SumTrade", u"СуммаПродаж", 2, true, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {30, u"SetOperatorParam", u"УстановитьПараметрыОператора", 4, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::text_(u"482915")), def(3, Value::text_(u" "))}},
    {31, u"PrintGoodsReport", u"ТоварныйОтчет", 3, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::ui4(0))}},
    {32, u"ServiceIn", u"СуммаВнесений", 1, true, {def(0, Value::text_(u"482915"))}},
    {33, u"ServiceOut", u"СуммаВыносов", 1, true, {def(0, Value::text_(u"482915"))}},
    {34, u"PeriodicReportByDate", u"ПериодическийОтчетПоДатам", 4, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"01012016")), def(2, Value::text_(u"01012016")), def(3, Value::ui4(0))}},
    {35, u"PeriodicReportByNum", u"ПериодическийОтчетПоНомерам", 4, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::ui4(0)), def(3, Value::ui4(0))}},
    {36, u"CopyReceipt", u"КопияЧека", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {37, u"CopyLastReceipt", u"КопияПоследнегоЧека", 1, false, {def(0, Value::text_(u"482915"))}},
    {38, u"ServiceInF", u"СуммаВнесенийПл", 1, true, {def(0, Value::text_(u"482915"))}},
    {39, u"ServiceOutF", u"СуммаВыносовПл", 1, true, {def(0, Value::text_(u"482915"))}},
    {40, u"SumCashF", u"СуммаНаличКассаПл", 2, true, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {41, u"SumRefundF", u"СуммаВозвратовПл", 2, true, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {42, u"SumTradeF", u"СуммаПродажПл", 2, true, {def(0, Value::text_(u"482915"))}},
    {43, u"OpenCheck", u"ОткрытьЧек", 6, true, {def(0, Value::text_(u"")), def(1, Value::boolean_(false)), def(2, Value::boolean_(false)), def(3, Value::boolean_(false)), def(4, Value::ui4(0)), def(5, Value::ui4(0))}},
    {44, u"PrintFiscalString", u"НапечататьФискСтроку", 7, true, {def(0, Value::text_(u"")), def(1, Value::text_(u"")), def(2, Value::r8(1.0)), def(3, Value::r8(1.0)), def(4, Value::r8(0.0)), def(5, Value::ui4(0)), def(6, Value::r8(0.0))}},
    {45, u"PrintNonFiscalString", u"НапечататьНефискСтроку", 2, true, {def(0, Value::text_(u"")), def(1, Value::text_(u""))}},
    {46, u"PrintBarCode", u"НапечататьШтрихКод", 3, true, {def(0, Value::text_(u"")), def(1, Value::text_(u"")), def(2, Value::text_(u""))}},
    {47, u"CloseCheck", u"ЗакрытьЧек", 5, true, {def(0, Value::text_(u"")), def(1, Value::r8(0.0)), def(2, Value::r8(0.0)), def(3, Value::r8(0.0)), def(4, Value::r8(0.0))}},
    {48, u"CancelCheck", u"ОтменитьЧек", 1, true, {def(0, Value::text_(u""))}},
    {49, u"CashInOutcome", u"НапечататьЧекВнесенияВыемки", 2, true, {def(0, Value::text_(u"")), def(1, Value::r8(0.0))}},
    {50, u"PrintXReport", u"НапечататьОтчетБезГашения", 1, true, {def(0, Value::text_(u""))}},
    {51, u"PrintZReport", u"НапечататьОтчетСГашением", 1, true, {def(0, Value::text_(u""))}},
    {52, u"OpenCashDrawer", u"ОткрытьДенежныйЯщик", 1, true, {def(0, Value::text_(u""))}},
    {53, u"GetLineLength", u"ПолучитьШиринуСтроки", 2, true, {def(0, Value::text_(u"")), def(1, Value::i4(0))}},
    {54, u"PrintPReportDate", u"НапечататьПериодическийОтчетПОДатам", 4, true, {def(0, Value::text_(u"")), unset(1, layout::VT_DATE), unset(2, layout::VT_DATE), def(3, Value::boolean_(true))}},
    {55, u"PrintPReportNumber", u"НапечататьПериодическийОтчетПоНомерам", 4, true, {def(0, Value::i4(0)), def(1, Value::i4(0)), unset(2, layout::VT_I4), def(3, Value::boolean_(true))}},
    {56, u"PrintNullReceipt", u"НапечататьНулевойЧек", 1, true, {def(0, Value::text_(u""))}},
    {57, u"PrintSoldReport", u"НапечататьОтчетПоПроданнымТоварам", 1, true, {def(0, Value::text_(u""))}},
    {58, u"OpenShift", u"ОткрытьСмену", 1, true, {def(0, Value::text_(u""))}},
    {59, u"ProgSaleArticle", u"ЗапрограммироватьПродать", 8, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"")), def(2, Value::ui4(0)), def(3, Value::ui4(1)), def(4, Value::text_(u"00")), def(5, Value::text_(u"")), def(6, Value::text_(u"1.000")), def(7, Value::text_(u"1.00"))}},
    {60, u"GetVersion", u"ПолучитьНомерВерсии", 0, true, {}},
    {61, u"GetDescription", u"ПолучитьОписание", 7, true, {def(0, Value::text_(u"")), def(1, Value::text_(u"")), def(2, Value::text_(u"")), def(3, Value::i4(0)), def(4, Value::boolean_(true)), def(5, Value::boolean_(true)), def(6, Value::text_(u""))}},
    {62, u"GetLastError", u"ПолучитьОшибку", 1, true, {def(0, Value::text_(u""))}},
    {63, u"GetParameters", u"ПолучитьПараметры", 1, true, {def(0, Value::text_(u""))}},
    {64, u"SetParameter", u"УстановитьПараметр", 2, true, {def(0, Value::text_(u"")), unset(1, layout::VT_VARIANT)}},
    {65, u"Open", u"Подключить", 1, true, {def(0, Value::text_(u""))}},
    {66, u"Close", u"Отключить", 1, true, {def(0, Value::text_(u""))}},
    {67, u"DeviceTest", u"ТестУстройства", 2, true, {def(0, Value::text_(u"")), def(1, Value::text_(u""))}},
    {68, u"GetAdditionalActions", u"ПолучитьДополнительныеДействия", 1, true, {def(0, Value::text_(u""))}},
    {69, u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие", 1, true, {def(0, Value::text_(u""))}},
    {70, u"GetCommandParams", u"ПолучитьПараметры", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {71, u"MakeExciseSale", u"ПродатьАкцызныйТовар", 10, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::text_(u"")), def(3, Value::text_(u"")), def(4, Value::text_(u"")), def(5, Value::text_(u"")), def(6, Value::text_(u"")), def(7, Value::text_(u"")), def(8, Value::text_(u"")), def(9, Value::text_(u""))}},
    {72, u"MakeElektrPayment", u"ЭлектронныйПлатеж", 12, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::text_(u"")), def(3, Value::text_(u"")), def(4, Value::text_(u"")), def(5, Value::text_(u"")), def(6, Value::text_(u"")), def(7, Value::text_(u"")), def(8, Value::text_(u"")), def(9, Value::text_(u"")), def(10, Value::text_(u"")), def(11, Value::text_(u""))}},
    {73, u"PayCash2", u"ВыплатаНаличных2", 10, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::text_(u"")), def(3, Value::text_(u"")), def(4, Value::text_(u"")), def(5, Value::text_(u"")), def(6, Value::text_(u"")), def(7, Value::text_(u"")), def(8, Value::text_(u"")), def(9, Value::text_(u""))}},
    {74, u"PayCash3", u"ВыплатаНаличных3", 9, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"")), def(2, Value::text_(u"")), def(3, Value::text_(u"")), def(4, Value::text_(u"")), def(5, Value::text_(u"")), def(6, Value::text_(u"")), def(7, Value::text_(u"")), def(8, Value::text_(u""))}},
    {75, u"TestTCPconn", u"ПроверкаTcpСоединения", 1, false, {def(0, Value::text_(u"482915"))}},
    {76, u"PrgSaleArticleNew", u"ЗапрограммироватьПродатьНовый", 10, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"")), def(2, Value::ui4(0)), def(3, Value::ui4(1)), def(4, Value::text_(u"00")), def(5, Value::text_(u"")), def(6, Value::text_(u"")), def(7, Value::text_(u"")), def(8, Value::text_(u"1.000")), def(9, Value::text_(u"1.00"))}},
    {77, u"ProgramArticleNew", u"ЗапрограммироватьАртикулНовый", 9, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"1")), def(2, Value::text_(u"")), def(3, Value::ui4(0)), def(4, Value::ui4(1)), def(5, Value::text_(u"00")), def(6, Value::text_(u"")), def(7, Value::text_(u"")), def(8, Value::text_(u""))}},
    {78, u"ReadArticulCod", u"ЧтениеПараметровТоваров", 2, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0))}},
    {79, u"PrintQRcode", u"ПечатьQrКод", 3, false, {def(0, Value::text_(u"482915")), def(1, Value::text_(u"")), def(2, Value::ui4(4))}},
    {80, u"QRInfo", u"ДобавлениеИнформацииQrКод", 3, false, {def(0, Value::text_(u"482915")), def(1, Value::ui4(0)), def(2, Value::text_(u""))}},
    {81, u"ReadQRExt", u"ДанныеQrКод", 1, false, {def(0, Value::text_(u"482915"))}},
};

constexpr long kPropertyCount = sizeof kProperties / sizeof kProperties[0];
constexpr long kMethodCount = sizeof kMethods / sizeof kMethods[0];

// The lookup rule: English names first, then Russian, each in table order,
// exact comparison, first match.
template <class Row, std::size_t N>
long expectedLookup(const Row (&rows)[N], const std::u16string& name) {
  for (const Row& r : rows)
    if (name == r.english) return r.number;
  for (const Row& r : rows)
    if (name == r.russian) return r.number;
  return -1;
}

const std::set<long> kWritableProperties = {0, 1, 10};

using RegistryTest = AbiTest;

TEST_F(RegistryTest, CountsMatchTheTables) {
  EXPECT_EQ(c->getNProps(), kPropertyCount);
  EXPECT_EQ(c->getNMethods(), kMethodCount);
}

TEST_F(RegistryTest, EveryPropertyHasItsNamesFlagsAndLookups) {
  for (const PropertyRow& p : kProperties) {
    SCOPED_TRACE("property " + std::to_string(p.number) + " " + utf8(p.english));
    EXPECT_EQ(shown(c->propName(p.number, 0)), utf8(p.english));
    EXPECT_EQ(shown(c->propName(p.number, 1)), utf8(p.russian));
    EXPECT_EQ(c->findProp(std::u16string(p.english)), p.number);
    EXPECT_EQ(c->findProp(std::u16string(p.russian)), expectedLookup(kProperties, p.russian));
    EXPECT_TRUE(c->isPropReadable(p.number));
    EXPECT_EQ(c->isPropWritable(p.number), kWritableProperties.count(p.number) == 1);
  }
}

TEST_F(RegistryTest, EveryMethodHasItsNamesCountsAndReturnFlag) {
  for (const MethodRow& m : kMethods) {
    SCOPED_TRACE("method " + std::to_string(m.number) + " " + utf8(m.english));
    EXPECT_EQ(shown(c->methodName(m.number, 0)), utf8(m.english));
    EXPECT_EQ(shown(c->methodName(m.number, 1)), utf8(m.russian));
    EXPECT_EQ(c->findMethod(std::u16string(m.english)), m.number);
    EXPECT_EQ(c->findMethod(std::u16string(m.russian)), expectedLookup(kMethods, m.russian));
    EXPECT_EQ(c->getNParams(m.number), m.params);
    EXPECT_EQ(c->hasRetVal(m.number), m.returnsValue);
  }
}

// Each position of each method, including the one past the last parameter.
// The variant comes in holding garbage so that a default that sets only its
// type, and a missing default that must still clear the type, both show.
TEST_F(RegistryTest, EveryDeclaredDefaultHasItsTypeAndValue) {
  for (const MethodRow& m : kMethods) {
    for (long param = 0; param <= m.params; ++param) {
      SCOPED_TRACE("method " + std::to_string(m.number) + " " + utf8(m.english) + " param " + std::to_string(param));
      const Default* expected = nullptr;
      for (const Default& d : m.defaults)
        if (d.param == param) expected = &d;

      RawVariant raw;
      raw.fill(0x5A);
      RawVariant before = raw;
      bool ok = c->getParamDefValue(m.number, param, &raw);
      if (expected == nullptr) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(raw.type(), layout::VT_EMPTY);
        continue;
      }
      ASSERT_TRUE(ok);
      ASSERT_EQ(raw.type(), expected->type) << layout::typeName(raw.type());
      if (!expected->value) {
        // Only the type is set; the value bytes stay as the host passed them.
        EXPECT_EQ(std::memcmp(raw.bytes, before.bytes, layout::kCbElementsOffset), 0);
        continue;
      }
      std::vector<std::string> problems;
      Value got = Value::fromRaw(raw, &c->memory(), &problems);
      for (const std::string& p : problems) ADD_FAILURE() << p;
      EXPECT_EQ(got, *expected->value);
      if (raw.type() == layout::VT_PWSTR) c->memory().release(raw.pointer());
    }
  }
}

// Numeric defaults fill their whole member: no garbage left in the bytes the
// type covers (a UI4 written as one byte would read 0x5A5A5A00 and so on).
TEST_F(RegistryTest, NumericDefaultsAreReadAtTheirFullWidth) {
  struct Case {
    long method, param;
    Value expected;
  } cases[] = {
      {0, 0, Value::ui1(1)},       {0, 1, Value::ui4(115200)}, {43, 4, Value::ui4(0)},
      {44, 2, Value::r8(1.0)},     {44, 6, Value::r8(0.0)},    {53, 1, Value::i4(0)},
      {43, 1, Value::boolean_(false)}, {54, 3, Value::boolean_(true)},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.method) + "/" + std::to_string(k.param));
    RawVariant raw;
    raw.fill(0x5A);
    ASSERT_TRUE(c->getParamDefValue(k.method, k.param, &raw));
    EXPECT_EQ(Value::fromRaw(raw, nullptr, nullptr), k.expected);
  }
}

TEST_F(RegistryTest, LookupsAreExactAndEnglishComesFirst) {
  struct Case {
    bool property;
    std::u16string name;
    long expected;
  } cases[] = {
      {false, u"ЗакрытьЧек", 13},        {false, u"CloseCheck", 47},
      {false, u"ПолучитьПараметры", 63}, {false, u"GetCommandParams", 70},
      {true, u"Команда", 3},             {false, u"Команда", 2},
      {true, u"port", -1},               {true, u"PORT", -1},
      {false, u"openport", -1},          {false, u"OpenPort ", -1},
      {false, u" OpenPort", -1},         {false, u"OpenPor", -1},
      {false, u"OpenPortX", -1},         {false, u"", -1},
      {true, u"", -1},                   {true, u"OpenPort", -1},
      {false, u"Port", -1},              {false, u"закрытьЧек", -1},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(utf8(k.name));
    EXPECT_EQ(k.property ? c->findProp(k.name) : c->findMethod(k.name), k.expected);
  }
}

TEST_F(RegistryTest, NamesOutOfRangeOrInAnUnknownLanguageAreNull) {
  EXPECT_EQ(shown(c->methodName(81, 1)), utf8(u"ДанныеQrКод"));
  EXPECT_EQ(c->getMethodName(82, 0), nullptr);
  EXPECT_EQ(c->getMethodName(-1, 0), nullptr);
  EXPECT_EQ(c->getMethodName(0, 2), nullptr);
  EXPECT_EQ(c->getMethodName(0, -1), nullptr);
  EXPECT_EQ(c->getPropName(16, 0), nullptr);
  EXPECT_EQ(c->getPropName(-1, 1), nullptr);
  EXPECT_EQ(c->getPropName(0, 2), nullptr);
  EXPECT_EQ(c->memory().liveCount(), 0u);
}

TEST_F(RegistryTest, NumbersOutOfRangeHaveNoParametersValueOrAccess) {
  for (long n : {kMethodCount, 1000L, -1L}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(c->getNParams(n), 0);
    EXPECT_FALSE(c->hasRetVal(n));
    RawVariant raw;
    EXPECT_FALSE(c->getParamDefValue(n, 0, &raw));
  }
  for (long n : {kPropertyCount, 100L, -1L}) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(c->isPropReadable(n));
    EXPECT_FALSE(c->isPropWritable(n));
    RawVariant raw;
    EXPECT_FALSE(c->getPropVal(n, &raw));
  }
}

TEST(RegistryWithoutMemory, NamesAndTextDefaultsAreNotHandedOut) {
  Component c(productLibrary(), Component::Setup::Created);
  ASSERT_TRUE(c.init());
  EXPECT_EQ(c.getMethodName(0, 0), nullptr);
  EXPECT_EQ(c.getPropName(0, 1), nullptr);
  // Lookups need no memory.
  EXPECT_EQ(c.findMethod(u"OpenPort"), 0);
  EXPECT_EQ(c.findProp(u"Порт"), 0);
  expectNoProblems(c);
}

TEST(RegistryWithFailingMemory, NamesAreNullAndNothingLeaks) {
  Component c(productLibrary());
  c.memory().failAll(true);
  EXPECT_EQ(c.getMethodName(5, 0), nullptr);
  EXPECT_EQ(c.getPropName(5, 1), nullptr);
  EXPECT_EQ(c.memory().liveCount(), 0u);
  expectNoProblems(c);
}

}  // namespace
}  // namespace abitest
