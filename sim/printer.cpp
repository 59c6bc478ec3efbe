// The printer model's command table and the steps every command takes: the
// code is looked up, the password and the field count are checked, the
// command's handler runs and the answer's busy time is set.
#include "sim/printer.h"

#include <string_view>

#include "device/codes.h"
#include "sim/model_fields.h"

namespace datecs_sim {

namespace code = ostrel::code;

// One row per command. The handlers live beside what they model: receipts
// and payments, counters and reports, articles and operators, status, and
// what is printed besides receipt lines. The last column lists the fields
// the component sends in a fixed shape; a request that breaks one is refused
// before the handler runs.
const Printer::Command Printer::kCommands[] = {
    {code::kProgramArticle, 7, 0, [](Printer& p, const Fields& f) { return p.programArticle(false, f); }},
    {code::kSetOperator, 4, 0, [](Printer& p, const Fields& f) { return p.setOperator(f); }},
    {code::kIdentity, 1, 0, [](Printer& p, const Fields&) { return p.identity(); }},
    {code::kProgramArticleLong, 9, 0, [](Printer& p, const Fields& f) { return p.programArticle(true, f); }},
    {code::kReadArticle, 2, 0, [](Printer& p, const Fields& f) { return p.readArticle(f); }},
    {code::kCommandParams, 2, 0, [](Printer& p, const Fields& f) { return p.parameters(f); }},
    {code::kOpenNonFiscal, 1, 0, [](Printer& p, const Fields&) { return p.openNonFiscal(); }},
    {code::kPrintText, 1, 0, [](Printer& p, const Fields& f) { return p.comment(f); }},
    {code::kOpenReceipt, 4, 0, [](Printer& p, const Fields& f) { return p.openReceipt(f); },
     {{3, Fixed::OneOf, "012"}}},
    {code::kSale, 4, 0, [](Printer& p, const Fields& f) { return p.sale(f); }},
    {code::kCloseReceipt, 2, 0, [](Printer& p, const Fields&) { return p.closeReceipt(); }, {{1, Fixed::Empty}}},
    {code::kCashPayment, 3, 0, [](Printer& p, const Fields& f) { return p.payCash(f); }, {{1, Fixed::OneOf, "0"}}},
    {code::kDiscountPercentArticle, 2, 0, [](Printer& p, const Fields& f) { return p.discount(true, false, f); }},
    {code::kDiscountArticle, 2, 0, [](Printer& p, const Fields& f) { return p.discount(false, false, f); }},
    {code::kCancelReceipt, 2, 0, [](Printer& p, const Fields&) { return p.cancelReceipt(); }, {{1, Fixed::OneOf, "0"}}},
    {code::kTotal, 2, 0, [](Printer& p, const Fields&) { return p.total(); }, {{1, Fixed::OneOf, "01"}}},
    {code::kBarcode, 6, 0, [](Printer& p, const Fields& f) { return p.barcode(f); },
     {{1, Fixed::Integer}, {2, Fixed::Integer}, {3, Fixed::Integer}, {4, Fixed::Integer}}},
    {code::kDiscountPercentSubtotal, 2, 0, [](Printer& p, const Fields& f) { return p.discount(true, true, f); }},
    {code::kDiscountSubtotal, 2, 0, [](Printer& p, const Fields& f) { return p.discount(false, true, f); }},
    {code::kCashInOut, 3, 0, [](Printer& p, const Fields& f) { return p.cashInOut(f); }, {{1, Fixed::OneOf, "0"}}},
    {code::kCardPayment, 3, 0, [](Printer& p, const Fields& f) { return p.payCard(f); }, {{1, Fixed::Integer}}},
    {code::kPayout, 1, 0, [](Printer& p, const Fields& f) { return p.record("CASH PAYOUT:", f); }},
    {code::kElectronicPayment, 2, 0, [](Printer& p, const Fields& f) { return p.record("ELECTRONIC PAYMENT:", f); },
     {{1, Fixed::Integer}}},
    {code::kExciseSale, 2, 0, [](Printer& p, const Fields& f) { return p.record("EXCISE SALE:", f); },
     {{1, Fixed::Integer}}},
    {code::kStatus, 1, 0, [](Printer& p, const Fields&) { return p.statusFields(); }},
    {code::kCashDrawer, 1, 0, [](Printer&, const Fields&) { return Outcome{}; }},
    {code::kNetworkTest, 1, 0, [](Printer& p, const Fields&) { return p.networkTest(); }},
    {code::kReport, 2, 1500, [](Printer& p, const Fields& f) { return p.report(f); }, {{1, Fixed::OneOf, "01"}}},
    {code::kPeriodicByDate, 4, 2000, [](Printer& p, const Fields& f) { return p.periodicByDate(f); }},
    {code::kPeriodicByNumber, 4, 2000, [](Printer& p, const Fields& f) { return p.periodicByNumber(f); }},
    {code::kGoodsReport, 3, 1500, [](Printer& p, const Fields&) { return p.goodsReport(); },
     {{1, Fixed::Integer}, {2, Fixed::Integer}}},
    {code::kCounters, 4, 0, [](Printer& p, const Fields& f) { return p.counters(f); },
     {{2, Fixed::Integer}, {3, Fixed::OneOf, "0"}}},
    {code::kLastReceipt, 2, 0, [](Printer& p, const Fields&) { return p.lastReceiptNumber(); },
     {{1, Fixed::OneOf, "3"}}},
    {code::kQrCode, 3, 0, [](Printer& p, const Fields& f) { return p.qrCode(f); }, {{2, Fixed::Integer}}},
    {code::kQrInfo, 3, 0, [](Printer& p, const Fields& f) { return p.qrInfo(f); }},
    {code::kQrData, 1, 0, [](Printer& p, const Fields&) { return p.qrData(); }},
    {code::kCopyReceipt, 3, 800, [](Printer& p, const Fields& f) { return p.copyReceipt(f); },
     {{2, Fixed::SameAsPrevious}}},
};

const Printer::Command* Printer::find(uint8_t code) {
  for (const Command& c : kCommands)
    if (c.code == code) return &c;
  return nullptr;
}

Printer::Printer(std::string serial) : serial_(std::move(serial)), date_(today()) {
  operators_[1] = Operator{ostrel::kDefaultPassword, "OPERATOR 1"};
}

Outcome Printer::execute(uint8_t command, const std::string& data) {
  const Command* known = find(command);
  Outcome o;
  if (!known) {
    o = fail(defaultCode_);
  } else {
    Fields f = splitFields(data);
    if (f.empty())
      o = fail("0003");
    else if (!passwordOk(f[0]))
      o = fail("0006");
    else
      o = dispatch(*known, f);
  }
  if (o.code != "0000") o.fields.clear();
  o.busyMs = busyFor(command, known, o);
  noteAnswerCode(o.code);
  return o;
}

Outcome Printer::dispatch(const Command& command, const Fields& f) {
  if (f.size() < command.fields) return fail(missingField(f.size()));
  if (size_t broken = brokenField(command, f)) return fail(wrongValue(broken));
  return command.run(*this, f);
}

size_t Printer::brokenField(const Command& command, const Fields& f) {
  for (const Fixed& x : command.fixed) {
    if (x.rule == Fixed::None) break;
    if (x.field >= f.size()) return x.field;
    const std::string& text = f[x.field];
    int number = 0;
    bool holds = true;
    switch (x.rule) {
      case Fixed::OneOf:
        holds = text.size() == 1 && std::string_view(x.values).find(text[0]) != std::string_view::npos;
        break;
      case Fixed::Integer: holds = parseInt(text, number); break;
      case Fixed::Empty: holds = text.empty(); break;
      case Fixed::SameAsPrevious: holds = x.field > 0 && text == f[x.field - 1]; break;
      case Fixed::None: break;
    }
    if (!holds) return x.field;
  }
  return 0;
}

int Printer::busyFor(uint8_t code, const Command* command, const Outcome& o) const {
  auto forced = forcedBusy_.find(code);
  if (forced != forcedBusy_.end()) return forced->second;
  return command && !instant_ && o.code == "0000" ? command->slowMs : 0;
}

}  // namespace datecs_sim
