#include "printing.h"

#include <cstdio>
#include <iostream>

#include "platform.h"

namespace addinhost {
namespace {

// Fiscal and refund receipts and what goes on them, service receipts, the
// reports and copies, the drawer.
constexpr std::u16string_view kPrinting[] = {
    u"BegFiscalReceipt",  u"BegRefundReceipt",   u"OpenCashReceipt",   u"ServCashInOut",     u"SellArticul",
    u"ProgSaleArticle",   u"PrgSaleArticleNew",  u"MakeExciseSale",    u"DiscountPersArt",   u"DiscountAbsArt",
    u"DiscountPersSum",   u"DiscountAbsSum",     u"PrintTotal",        u"TotalByCash",       u"TotalByCard",
    u"MakeElektrPayment", u"PayCash2",           u"PayCash3",          u"CloseReceipt",      u"ResetReceipt",
    u"PrintXReportL",     u"PrintZReportL",      u"PrintGoodsReport",  u"PeriodicReportByDate",
    u"PeriodicReportByNum", u"CopyReceipt",      u"CopyLastReceipt",   u"DirectIO",          u"CancelCheck",
    u"CashInOutcome",     u"PrintXReport",       u"PrintZReport",      u"OpenCashDrawer",    u"DeviceTest",
};

}  // namespace

bool printsOrOpensDrawer(std::u16string_view english) {
  for (auto name : kPrinting)
    if (name == english) return true;
  return false;
}

std::string printingMethodList() {
  std::string out;
  for (auto name : kPrinting) {
    if (!out.empty()) out += ", ";
    for (char16_t c : name) out += static_cast<char>(c);
  }
  return out;
}

bool confirmRealPrinter(const std::string& devices, const std::string& methods, bool yes) {
  std::fprintf(stderr,
               "addin-host: REAL PRINTER on %s: these calls print fiscal documents or reports\n"
               "  or open the drawer: %s. None of it can be taken back.\n",
               devices.c_str(), methods.c_str());
  if (yes) return true;
  if (!stdinIsTerminal()) {
    std::fprintf(stderr, "addin-host: no terminal to confirm on: nothing was sent; add --yes to run it\n");
    return false;
  }
  std::fprintf(stderr, "Type YES to go on: ");
  std::fflush(stderr);
  std::string answer;
  std::getline(std::cin, answer);
  if (answer == "YES") return true;
  std::fprintf(stderr, "addin-host: not confirmed: nothing was sent\n");
  return false;
}

}  // namespace addinhost
