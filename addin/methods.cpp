// The method table: one row per method, numbered by position. A row holds
// the method's English and Russian names, its parameters with their types
// and defaults, whether it returns a value, the call forms that run it, and
// its work: a printer command (code, format, the argument each conversion
// takes, the LastCmd arguments, sequence advances, the longest data field),
// a money counter, or a handler.
#include "addin/registry.h"
#include "driver/driver.h"
#include "receipts/receipts.h"
#include "reports/reports.h"
#include "status/status.h"

namespace ostrel {
namespace {

using namespace status;
using namespace receipts;
using namespace reports;
using namespace driver;

constexpr MethodDef kMethods[] = {
    {0, u"OpenPort", u"ОткрытьПорт", {UI1(1), UI4(115200)}, true, kBoth, OpenPort},
    {1, u"ClosePort", u"ЗакрытьПорт", {}, false, kProc, ClosePort},
    {2, u"DirectIO", u"Команда", {Password(), UI1(0), Text("")}, false, kProc, DirectIO},
    {3, u"RetItem", u"Результат", {Password(), UI1(0)}, true, kFunc, RetItem},
    {4, u"BegRefundReceipt", u"ОткрытьВозврЧек", {Password(), UI4(1), UI4(1)}, false, kProc, Command(code::kOpenReceipt, "%s;%i;%i;1;", {0, 1, 2}, Args({0}), 2, kFormatLimit)},
    {5, u"ResetReceipt", u"АннулироватьЧек", {Password()}, false, kProc, Command(code::kCancelReceipt, "%s;0;", {0}, Args({0}), 1, kJoinLimit)},
    {6, u"OpenCashReceipt", u"ОткрытьЧекСлужВнВын", {Password(), UI4(1), UI4(1)}, false, kProc, Command(code::kOpenReceipt, "%s;%i;%i;2;", {0, 1, 2}, Args({0}), 2, kFormatLimit)},
    {7, u"ServCashInOut", u"ВносВынос", {Password(), Text("0.00")}, false, kProc, Command(code::kCashInOut, "%s;0;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit)},
    {8, u"PrintXReportL", u"ПечатьXОтчет", {Password()}, false, kProc, Command(code::kReport, "%s;1;", {0}, Args({0}), 1, kJoinLimit)},
    {9, u"PrintZReportL", u"ПечатьZОтчет", {Password()}, false, kProc, Command(code::kReport, "%s;0;", {0}, Args({0}), 1, kJoinLimit)},
    {10, u"BegFiscalReceipt", u"ОткрытьФискЧек", {Password(), UI4(1), UI4(1)}, false, kProc, Command(code::kOpenReceipt, "%s;%i;%i;0;", {0, 1, 2}, Args({0}), 2, kFormatLimit)},
    {11, u"BeginNonFiscal", u"ОткрытьНефискЧек", {Password()}, false, kProc, Command(code::kOpenNonFiscal, "%s;", {0}, Args({0}), 1, kJoinLimit)},
    {12, u"TotalByCash", u"ОплатитьНал", {Password(), Text("0.00")}, false, kProc, TotalByCash},
    {13, u"CloseReceipt", u"ЗакрытьЧек", {Password()}, false, kProc, Command(code::kCloseReceipt, "%s;;", {0}, Args({0}), 1, kJoinLimit)},
    {14, u"PrintComment", u"ПечатьТекста", {Password(), Text("")}, false, kProc, kPrintText},
    {15, u"PrintBarCodeL", u"ПечатьШтрихКод", {Password(), UI4(1), UI4(2), UI4(1), UI4(0), Text("")}, false, kProc, Command(code::kBarcode, "%s;%i;%i;%i;%i;%s;", {0, 1, 2, 3, 4, 5}, Args({0, 5}), 1, kFormatLimit)},
    {16, u"SellArticul", u"ПродатьАртикул", {Password(), Text("1"), Text("1.000"), Text("1.00")}, false, kProc, Command(code::kSale, "%s;%s;%s;%s;", {0, 1, 2, 3}, Args({0}), 1, kFormatLimit)},
    {17, u"DiscountPersArt", u"СкидкаПроцАрт", {Password(), Text("0.00")}, false, kProc, Command(code::kDiscountPercentArticle, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit)},
    {18, u"DiscountAbsArt", u"СкидкаАбсАрт", {Password(), Text("0.00")}, false, kProc, Command(code::kDiscountArticle, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit)},
    {19, u"DiscountPersSum", u"СкидкаПроцСум", {Password(), Text("0.00")}, false, kProc, Command(code::kDiscountPercentSubtotal, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit)},
    {20, u"DiscountAbsSum", u"СкидкаАбсСум", {Password(), Text("0.00")}, false, kProc, Command(code::kDiscountSubtotal, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit)},
    {21, u"PrintTotal", u"ПечататьИтог", {Password(), UI4(0)}, false, kProc, Command(code::kTotal, "%s;%i;", {0, 1}, Args({0}), 1, kFormatLimit)},
    {22, u"TotalByCard", u"ОплатитьПлатКартой", {Password(), UI1(0), Text("0.00"), Text("")}, false, kProc, TotalByCard},
    {23, u"ProgramArticle", u"ЗапрограммироватьАртикул", {Password(), Text("1"), Text(""), UI4(0), UI4(1), Text("00"), Text("")}, false, kProc, Command(code::kProgramArticle, "%s;%s;%s;%i;%i;%s;%s;", {0, 1, 2, 3, 4, 5, 6}, Args({0}), 1, kFormatLimit)},
    {24, u"GetStatusBit", u"БитСтатуса", {Password(), UI4(0), UI4(0), UI4(0)}, true, kFunc, GetStatusBit},
    {25, u"GetStatusByte", u"БайтСтатуса", {}, false, kNoForm, Work()},
    {26, u"IsRegExist", u"ЗапросНаСвязь", {Password()}, true, kFunc, IsRegExist},
    {27, u"SumCash", u"СуммаНаличКасса", {Password()}, true, kFunc, Counter("%s;3;0;0;", 0, false)},
    {28, u"SumRefund", u"СуммаВозвратов", {Password(), UI4(0)}, true, kFunc, Counter("%s;2;%i;0;", 1, false)},
    {29, u"SumTrade", u"СуммаПродаж", {Password(), UI4(0)}, true, kFunc, Counter("%s;2;%i;0;", 0, false)},
    {30, u"SetOperatorParam", u"УстановитьПараметрыОператора", {Password(), UI4(0), Password(), Text(" ")}, false, kProc, Command(code::kSetOperator, "%s;%i;%s;%s;", {0, 1, 2, 3}, Args({0}), 1, kFormatLimit)},
    {31, u"PrintGoodsReport", u"ТоварныйОтчет", {Password(), UI4(0), UI4(0)}, false, kProc, Command(code::kGoodsReport, "%s;%i;%i;", {0, 1, 2}, Args({0}), 1, kFormatLimit)},
    {32, u"ServiceIn", u"СуммаВнесений", {Password()}, true, kFunc, Counter("%s;3;1;0;", 0, false)},
    {33, u"ServiceOut", u"СуммаВыносов", {Password()}, true, kFunc, Counter("%s;3;1;0;", 1, false)},
    {34, u"PeriodicReportByDate", u"ПериодическийОтчетПоДатам", {Password(), Text("01012016"), Text("01012016"), UI4(0)}, false, kProc, PeriodicReportByDate},
    {35, u"PeriodicReportByNum", u"ПериодическийОтчетПоНомерам", {Password(), UI4(0), UI4(0), UI4(0)}, false, kProc, Command(code::kPeriodicByNumber, "%s;%i;%i;%i;", {0, 1, 2, 3}, Args({0}), 1, kFormatLimit)},
    {36, u"CopyReceipt", u"КопияЧека", {Password(), UI4(0)}, false, kProc, Command(code::kCopyReceipt, "%s;%i;%i;", {0, 1, 1}, Args({0}), 1, kFormatLimit)},
    {37, u"CopyLastReceipt", u"КопияПоследнегоЧека", {Password()}, false, kProc, CopyLastReceipt},
    {38, u"ServiceInF", u"СуммаВнесенийПл", {Password()}, true, kFunc, Counter("%s;3;1;0;", 0, true)},
    {39, u"ServiceOutF", u"СуммаВыносовПл", {Password()}, true, kFunc, Counter("%s;3;1;0;", 1, true)},
    {40, u"SumCashF", u"СуммаНаличКассаПл", {Password(), UI4(0)}, true, kFunc, Counter("%s;3;0;0;", 0, true)},
    {41, u"SumRefundF", u"СуммаВозвратовПл", {Password(), UI4(0)}, true, kFunc, Counter("%s;2;%i;0;", 1, true)},
    {42, u"SumTradeF", u"СуммаПродажПл", {Password(), NoDefault(Type::UI4)}, true, kFunc, Counter("%s;2;%i;0;", 0, true)},
    {43, u"OpenCheck", u"ОткрытьЧек", {Text(""), Bool(false), Bool(false), Bool(false), UI4(0), UI4(0)}, true, kFunc, Acknowledge},
    {44, u"PrintFiscalString", u"НапечататьФискСтроку", {Text(""), Text(""), R8(1.0), R8(1.0), R8(0.0), UI4(0), R8(0.0)}, true, kFunc, Acknowledge},
    {45, u"PrintNonFiscalString", u"НапечататьНефискСтроку", {Text(""), Text("")}, true, kFunc, PrintNonFiscalString},
    {46, u"PrintBarCode", u"НапечататьШтрихКод", {Text(""), Text(""), Text("")}, true, kFunc, PrintBarCode},
    {47, u"CloseCheck", u"ЗакрытьЧек", {Text(""), R8(0.0), R8(0.0), R8(0.0), R8(0.0)}, true, kFunc, CloseCheck},
    {48, u"CancelCheck", u"ОтменитьЧек", {Text("")}, true, kFunc, CancelCheck},
    {49, u"CashInOutcome", u"НапечататьЧекВнесенияВыемки", {Text(""), R8(0.0)}, true, kFunc, CashInOutcome},
    {50, u"PrintXReport", u"НапечататьОтчетБезГашения", {Text("")}, true, kFunc, PrintXReport},
    {51, u"PrintZReport", u"НапечататьОтчетСГашением", {Text("")}, true, kFunc, PrintZReport},
    {52, u"OpenCashDrawer", u"ОткрытьДенежныйЯщик", {Text("")}, true, kFunc, OpenCashDrawer},
    {53, u"GetLineLength", u"ПолучитьШиринуСтроки", {Text(""), I4(0)}, true, kFunc, GetLineLength},
    {54, u"PrintPReportDate", u"НапечататьПериодическийОтчетПОДатам", {Text(""), TypeOnly(Type::Date), TypeOnly(Type::Date), Bool(true)}, true, kFunc, Acknowledge},
    {55, u"PrintPReportNumber", u"НапечататьПериодическийОтчетПоНомерам", {I4(0), I4(0), TypeOnly(Type::I4), Bool(true)}, true, kFunc, Acknowledge},
    {56, u"PrintNullReceipt", u"НапечататьНулевойЧек", {Text("")}, true, kFunc, Acknowledge},
    {57, u"PrintSoldReport", u"НапечататьОтчетПоПроданнымТоварам", {Text("")}, true, kFunc, Acknowledge},
    {58, u"OpenShift", u"ОткрытьСмену", {Text("")}, true, kFunc, OpenShift},
    {59, u"ProgSaleArticle", u"ЗапрограммироватьПродать", {Password(), Text(""), UI4(0), UI4(1), Text("00"), Text(""), Text("1.000"), Text("1.00")}, false, kProc, ProgSaleArticle},
    {60, u"GetVersion", u"ПолучитьНомерВерсии", {}, true, kBoth, GetVersion},
    {61, u"GetDescription", u"ПолучитьОписание", {Text(""), Text(""), Text(""), I4(0), Bool(true), Bool(true), Text("")}, true, kBoth, GetDescription},
    {62, u"GetLastError", u"ПолучитьОшибку", {Text("")}, true, kFunc, GetLastError},
    {63, u"GetParameters", u"ПолучитьПараметры", {Text("")}, true, kBoth, GetParameters},
    {64, u"SetParameter", u"УстановитьПараметр", {Text(""), TypeOnly(Type::Variant)}, true, kFunc, SetParameter},
    {65, u"Open", u"Подключить", {Text("")}, true, kBoth, Open},
    {66, u"Close", u"Отключить", {Text("")}, true, kBoth, Close},
    {67, u"DeviceTest", u"ТестУстройства", {Text(""), Text("")}, true, kBoth, DeviceTest},
    {68, u"GetAdditionalActions", u"ПолучитьДополнительныеДействия", {Text("")}, true, kBoth, GetAdditionalActions},
    {69, u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие", {Text("")}, true, kBoth, DoAdditionalAction},
    {70, u"GetCommandParams", u"ПолучитьПараметры", {Password(), UI4(0)}, false, kProc, Command(code::kCommandParams, "%s;%i;", {0, 1}, Args({0}), 1, kFormatLimit)},
    {71, u"MakeExciseSale", u"ПродатьАкцызныйТовар", {Password(), UI4(0), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text("")}, false, kProc, Command(code::kExciseSale, "%s;%i;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Args({0}), 1, kFormatLimit)},
    {72, u"MakeElektrPayment", u"ЭлектронныйПлатеж", {Password(), UI4(0), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text("")}, false, kProc, Command(code::kElectronicPayment, "%s;%i;%s;%s;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, Args({0}), 1, kFormatLimit)},
    {73, u"PayCash2", u"ВыплатаНаличных2", {Password(), UI4(0), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text("")}, false, kProc, Command(code::kPayout, "%s;%i;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Args({0}), 1, kFormatLimit)},
    {74, u"PayCash3", u"ВыплатаНаличных3", {Password(), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text(""), Text("")}, false, kProc, Command(code::kPayout, "%s;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8}, Args({0}), 1, kFormatLimit)},
    {75, u"TestTCPconn", u"ПроверкаTcpСоединения", {Password()}, false, kProc, Command(code::kNetworkTest, "%s;", {0}, Args({0}), 1, kFormatLimit)},
    {76, u"PrgSaleArticleNew", u"ЗапрограммироватьПродатьНовый", {Password(), Text(""), UI4(0), UI4(1), Text("00"), Text(""), Text(""), Text(""), Text("1.000"), Text("1.00")}, false, kProc, PrgSaleArticleNew},
    {77, u"ProgramArticleNew", u"ЗапрограммироватьАртикулНовый", {Password(), Text("1"), Text(""), UI4(0), UI4(1), Text("00"), Text(""), Text(""), Text("")}, false, kProc, Command(code::kProgramArticleLong, "%s;%s;%s;%i;%i;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8}, Args({0}), 1, kFormatLimit)},
    {78, u"ReadArticulCod", u"ЧтениеПараметровТоваров", {Password(), UI4(0)}, false, kProc, Command(code::kReadArticle, "%s;%i;", {0, 1}, Args({0}), 1, kFormatLimit)},
    {79, u"PrintQRcode", u"ПечатьQrКод", {Password(), Text(""), UI4(4)}, false, kProc, Command(code::kQrCode, "%s;%s;%i;", {0, 1, 2}, Args({0}), 1, kFormatLimit)},
    {80, u"QRInfo", u"ДобавлениеИнформацииQrКод", {Password(), UI4(0), Text("")}, false, kProc, Command(code::kQrInfo, "%s;%i;%s;", {0, 1, 2}, Args({0}), 1, kFormatLimit)},
    {81, u"ReadQRExt", u"ДанныеQrКод", {Password()}, false, kProc, Command(code::kQrData, "%s;", {0}, Args({0}), 1, kFormatLimit)},
};

constexpr long kMethodCount = static_cast<long>(std::size(kMethods));

constexpr bool numberedInOrder() {
  for (long i = 0; i < kMethodCount; ++i) {
    if (kMethods[i].number != i) return false;
  }
  return true;
}
static_assert(numberedInOrder(), "each row's number is its position");

// Each conversion of a format takes a declared parameter of its kind: "%s"
// a text, "%i" an integer.
constexpr bool conversionsMatch(const char* format, const int8_t* args, int count, const Params& params) {
  if (ConversionCount(format) != count) return false;
  for (int k = 0; k < count; ++k) {
    if (args[k] < 0 || args[k] >= params.count) return false;
    Type type = params.list[args[k]].type;
    char conversion = ConversionAt(format, k);
    if (conversion == 's' ? type != Type::Text : !IsInteger(type)) return false;
  }
  return true;
}

constexpr bool formatsMatchParameters() {
  for (const MethodDef& m : kMethods) {
    const CommandDef& c = m.work.command;
    if (c.format && !conversionsMatch(c.format, c.args, c.conversions, m.params)) return false;
    const CounterDef& n = m.work.counter;
    if (n.format && !conversionsMatch(n.format, kCounterArgs, ConversionCount(n.format), m.params)) return false;
  }
  return true;
}
static_assert(formatsMatchParameters(), "a command's conversions match the parameters they take");

}  // namespace

long methodCount() { return kMethodCount; }
const MethodDef& methodDef(int number) { return kMethods[number]; }

bool runMethod(const MethodDef& method, CommandContext& context, Call& call) {
  if (method.work.handler) return method.work.handler(context, call);
  if (method.work.counter.format) return ReadCounter(context, call, method.work.counter);
  if (method.work.command.format) return RunCommand(context, call, method.work.command);
  return false;
}

}  // namespace ostrel
