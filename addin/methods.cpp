// The method table: number, both names, parameter count, return flag,
// declared defaults, the call forms that run it, and its handler.
#include "addin/registry.h"
#include "status/status.h"
#include "driver/driver.h"
#include "receipts/receipts.h"
#include "reports/reports.h"

namespace ostrel {
namespace {

using namespace status;
using namespace receipts;
using namespace reports;
using namespace driver;

// Found by name, run by neither form.
constexpr Handler kNone = nullptr;

constexpr MethodDef kMethods[kMethodCount] = {
    {0, u"OpenPort", u"ОткрытьПорт", 2, true, "ui1:1|ui4:115200", kBoth, OpenPort},
    {1, u"ClosePort", u"ЗакрытьПорт", 0, false, "", kProc, ClosePort},
    {2, u"DirectIO", u"Команда", 3, false, "s:482915|ui1:0|s:", kProc, DirectIO},
    {3, u"RetItem", u"Результат", 2, true, "s:482915|ui1:0", kFunc, RetItem},
    {4, u"BegRefundReceipt", u"ОткрытьВозврЧек", 3, false, "s:482915|ui4:1|ui4:1", kProc, SendCommand<kBegRefundReceipt>},
    {5, u"ResetReceipt", u"АннулироватьЧек", 1, false, "s:482915", kProc, SendCommand<kResetReceipt>},
    {6, u"OpenCashReceipt", u"ОткрытьЧекСлужВнВын", 3, false, "s:482915|ui4:1|ui4:1", kProc, SendCommand<kOpenCashReceipt>},
    {7, u"ServCashInOut", u"ВносВынос", 2, false, "s:482915|s:0.00", kProc, SendCommand<kServCashInOut>},
    {8, u"PrintXReportL", u"ПечатьXОтчет", 1, false, "s:482915", kProc, SendCommand<kPrintXReportL>},
    {9, u"PrintZReportL", u"ПечатьZОтчет", 1, false, "s:482915", kProc, SendCommand<kPrintZReportL>},
    {10, u"BegFiscalReceipt", u"ОткрытьФискЧек", 3, false, "s:482915|ui4:1|ui4:1", kProc, SendCommand<kBegFiscalReceipt>},
    {11, u"BeginNonFiscal", u"ОткрытьНефискЧек", 1, false, "s:482915", kProc, SendCommand<kBeginNonFiscal>},
    {12, u"TotalByCash", u"ОплатитьНал", 2, false, "s:482915|s:0.00", kProc, TotalByCash},
    {13, u"CloseReceipt", u"ЗакрытьЧек", 1, false, "s:482915", kProc, SendCommand<kCloseReceipt>},
    {14, u"PrintComment", u"ПечатьТекста", 2, false, "s:482915|s:", kProc, SendCommand<kPrintComment>},
    {15, u"PrintBarCodeL", u"ПечатьШтрихКод", 6, false, "s:482915|ui4:1|ui4:2|ui4:1|ui4:0|s:", kProc, SendCommand<kPrintBarCodeL>},
    {16, u"SellArticul", u"ПродатьАртикул", 4, false, "s:482915|s:1|s:1.000|s:1.00", kProc, SendCommand<kSellArticul>},
    {17, u"DiscountPersArt", u"СкидкаПроцАрт", 2, false, "s:482915|s:0.00", kProc, SendCommand<kDiscountPersArt>},
    {18, u"DiscountAbsArt", u"СкидкаАбсАрт", 2, false, "s:482915|s:0.00", kProc, SendCommand<kDiscountAbsArt>},
    {19, u"DiscountPersSum", u"СкидкаПроцСум", 2, false, "s:482915|s:0.00", kProc, SendCommand<kDiscountPersSum>},
    {20, u"DiscountAbsSum", u"СкидкаАбсСум", 2, false, "s:482915|s:0.00", kProc, SendCommand<kDiscountAbsSum>},
    {21, u"PrintTotal", u"ПечататьИтог", 2, false, "s:482915|ui4:0", kProc, SendCommand<kPrintTotal>},
    {22, u"TotalByCard", u"ОплатитьПлатКартой", 4, false, "s:482915|ui1:0|s:0.00|s:", kProc, TotalByCard},
    {23, u"ProgramArticle", u"ЗапрограммироватьАртикул", 7, false, "s:482915|s:1|s:|ui4:0|ui4:1|s:00|s:", kProc, SendCommand<kProgramArticle>},
    {24, u"GetStatusBit", u"БитСтатуса", 4, true, "s:482915|ui4:0|ui4:0|ui4:0", kFunc, GetStatusBit},
    {25, u"GetStatusByte", u"БайтСтатуса", 0, false, "", kNoForm, kNone},
    {26, u"IsRegExist", u"ЗапросНаСвязь", 1, true, "s:482915", kFunc, IsRegExist},
    {27, u"SumCash", u"СуммаНаличКасса", 1, true, "s:482915", kFunc, Counter<kSumCash>},
    {28, u"SumRefund", u"СуммаВозвратов", 2, true, "s:482915|ui4:0", kFunc, Counter<kSumRefund>},
    {29, u"SumTrade", u"СуммаПродаж", 2, true, "s:482915|ui4:0", kFunc, Counter<kSumTrade>},
    {30, u"SetOperatorParam", u"УстановитьПараметрыОператора", 4, false, "s:482915|ui4:0|s:482915|s: ", kProc, SendCommand<kSetOperatorParam>},
    {31, u"PrintGoodsReport", u"ТоварныйОтчет", 3, false, "s:482915|ui4:0|ui4:0", kProc, SendCommand<kPrintGoodsReport>},
    {32, u"ServiceIn", u"СуммаВнесений", 1, true, "s:482915", kFunc, Counter<kServiceIn>},
    {33, u"ServiceOut", u"СуммаВыносов", 1, true, "s:482915", kFunc, Counter<kServiceOut>},
    {34, u"PeriodicReportByDate", u"ПериодическийОтчетПоДатам", 4, false, "s:482915|s:01012016|s:01012016|ui4:0", kProc, PeriodicReportByDate},
    {35, u"PeriodicReportByNum", u"ПериодическийОтчетПоНомерам", 4, false, "s:482915|ui4:0|ui4:0|ui4:0", kProc, SendCommand<kPeriodicReportByNum>},
    {36, u"CopyReceipt", u"КопияЧека", 2, false, "s:482915|ui4:0", kProc, SendCommand<kCopyReceipt>},
    {37, u"CopyLastReceipt", u"КопияПоследнегоЧека", 1, false, "s:482915", kProc, CopyLastReceipt},
    {38, u"ServiceInF", u"СуммаВнесенийПл", 1, true, "s:482915", kFunc, Counter<kServiceInF>},
    {39, u"ServiceOutF", u"СуммаВыносовПл", 1, true, "s:482915", kFunc, Counter<kServiceOutF>},
    {40, u"SumCashF", u"СуммаНаличКассаПл", 2, true, "s:482915|ui4:0", kFunc, Counter<kSumCashF>},
    {41, u"SumRefundF", u"СуммаВозвратовПл", 2, true, "s:482915|ui4:0", kFunc, Counter<kSumRefundF>},
    {42, u"SumTradeF", u"СуммаПродажПл", 2, true, "s:482915", kFunc, Counter<kSumTradeF>},
    {43, u"OpenCheck", u"ОткрытьЧек", 6, true, "s:|bool:0|bool:0|bool:0|ui4:0|ui4:0", kFunc, Acknowledge},
    {44, u"PrintFiscalString", u"НапечататьФискСтроку", 7, true, "s:|s:|r8:1.0|r8:1.0|r8:0.0|ui4:0|r8:0.0", kFunc, Acknowledge},
    {45, u"PrintNonFiscalString", u"НапечататьНефискСтроку", 2, true, "s:|s:", kFunc, PrintNonFiscalString},
    {46, u"PrintBarCode", u"НапечататьШтрихКод", 3, true, "s:|s:|s:", kFunc, PrintBarCode},
    {47, u"CloseCheck", u"ЗакрытьЧек", 5, true, "s:|r8:0.0|r8:0.0|r8:0.0|r8:0.0", kFunc, CloseCheck},
    {48, u"CancelCheck", u"ОтменитьЧек", 1, true, "s:", kFunc, CancelCheck},
    {49, u"CashInOutcome", u"НапечататьЧекВнесенияВыемки", 2, true, "s:|r8:0.0", kFunc, CashInOutcome},
    {50, u"PrintXReport", u"НапечататьОтчетБезГашения", 1, true, "s:", kFunc, PrintXReport},
    {51, u"PrintZReport", u"НапечататьОтчетСГашением", 1, true, "s:", kFunc, PrintZReport},
    {52, u"OpenCashDrawer", u"ОткрытьДенежныйЯщик", 1, true, "s:", kFunc, OpenCashDrawer},
    {53, u"GetLineLength", u"ПолучитьШиринуСтроки", 2, true, "s:|i4:0", kFunc, GetLineLength},
    {54, u"PrintPReportDate", u"НапечататьПериодическийОтчетПОДатам", 4, true, "s:|date?|date?|bool:1", kFunc, Acknowledge},
    {55, u"PrintPReportNumber", u"НапечататьПериодическийОтчетПоНомерам", 4, true, "i4:0|i4:0|i4?|bool:1", kFunc, Acknowledge},
    {56, u"PrintNullReceipt", u"НапечататьНулевойЧек", 1, true, "s:", kFunc, Acknowledge},
    {57, u"PrintSoldReport", u"НапечататьОтчетПоПроданнымТоварам", 1, true, "s:", kFunc, Acknowledge},
    {58, u"OpenShift", u"ОткрытьСмену", 1, true, "s:", kFunc, OpenShift},
    {59, u"ProgSaleArticle", u"ЗапрограммироватьПродать", 8, false, "s:482915|s:|ui4:0|ui4:1|s:00|s:|s:1.000|s:1.00", kProc, ProgSaleArticle},
    {60, u"GetVersion", u"ПолучитьНомерВерсии", 0, true, "", kBoth, GetVersion},
    {61, u"GetDescription", u"ПолучитьОписание", 7, true, "s:|s:|s:|i4:0|bool:1|bool:1|s:", kBoth, GetDescription},
    {62, u"GetLastError", u"ПолучитьОшибку", 1, true, "s:", kFunc, GetLastError},
    {63, u"GetParameters", u"ПолучитьПараметры", 1, true, "s:", kBoth, GetParameters},
    {64, u"SetParameter", u"УстановитьПараметр", 2, true, "s:|variant?", kFunc, SetParameter},
    {65, u"Open", u"Подключить", 1, true, "s:", kBoth, Open},
    {66, u"Close", u"Отключить", 1, true, "s:", kBoth, Close},
    {67, u"DeviceTest", u"ТестУстройства", 2, true, "s:|s:", kBoth, DeviceTest},
    {68, u"GetAdditionalActions", u"ПолучитьДополнительныеДействия", 1, true, "s:", kBoth, GetAdditionalActions},
    {69, u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие", 1, true, "s:", kBoth, DoAdditionalAction},
    {70, u"GetCommandParams", u"ПолучитьПараметры", 2, false, "s:482915|ui4:0", kProc, SendCommand<kGetCommandParams>},
    {71, u"MakeExciseSale", u"ПродатьАкцызныйТовар", 10, false, "s:482915|ui4:0|s:|s:|s:|s:|s:|s:|s:|s:", kProc, SendCommand<kMakeExciseSale>},
    {72, u"MakeElektrPayment", u"ЭлектронныйПлатеж", 12, false, "s:482915|ui4:0|s:|s:|s:|s:|s:|s:|s:|s:|s:|s:", kProc, SendCommand<kMakeElektrPayment>},
    {73, u"PayCash2", u"ВыплатаНаличных2", 10, false, "s:482915|ui4:0|s:|s:|s:|s:|s:|s:|s:|s:", kProc, SendCommand<kPayCash2>},
    {74, u"PayCash3", u"ВыплатаНаличных3", 9, false, "s:482915|s:|s:|s:|s:|s:|s:|s:|s:", kProc, SendCommand<kPayCash3>},
    {75, u"TestTCPconn", u"ПроверкаTcpСоединения", 1, false, "s:482915", kProc, SendCommand<kTestTCPconn>},
    {76, u"PrgSaleArticleNew", u"ЗапрограммироватьПродатьНовый", 10, false, "s:482915|s:|ui4:0|ui4:1|s:00|s:|s:|s:|s:1.000|s:1.00", kProc, PrgSaleArticleNew},
    {77, u"ProgramArticleNew", u"ЗапрограммироватьАртикулНовый", 9, false, "s:482915|s:1|s:|ui4:0|ui4:1|s:00|s:|s:|s:", kProc, SendCommand<kProgramArticleNew>},
    {78, u"ReadArticulCod", u"ЧтениеПараметровТоваров", 2, false, "s:482915|ui4:0", kProc, SendCommand<kReadArticulCod>},
    {79, u"PrintQRcode", u"ПечатьQrКод", 3, false, "s:482915|s:|ui4:4", kProc, SendCommand<kPrintQRcode>},
    {80, u"QRInfo", u"ДобавлениеИнформацииQrКод", 3, false, "s:482915|ui4:0|s:", kProc, SendCommand<kQRInfo>},
    {81, u"ReadQRExt", u"ДанныеQrКод", 1, false, "s:482915", kProc, SendCommand<kReadQRExt>},
};

constexpr bool numberedInOrder() {
  for (int i = 0; i < kMethodCount; ++i) {
    if (kMethods[i].number != i) return false;
  }
  return true;
}
static_assert(numberedInOrder(), "each row's number is its position");

}  // namespace

const MethodDef& methodDef(int number) { return kMethods[number]; }

}  // namespace ostrel
