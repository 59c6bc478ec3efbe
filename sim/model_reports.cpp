// Counters, reports and copies: the money counters and the last receipt
// number, the X and Z reports, periodic reports, the goods report and copies
// of kept receipts.
#include <string>
#include <vector>

#include "sim/model_fields.h"
#include "sim/printer.h"

namespace datecs_sim {

Outcome Printer::counters(const Fields& f) const {
  Outcome o;
  if (f[1] == "3" && f[2] == "0") {
    o.fields = {formatFixed(cash_, 2)};
  } else if (f[1] == "3" && f[2] == "1") {
    o.fields = {formatFixed(deposits_, 2), formatFixed(withdrawals_, 2)};
  } else if (f[1] == "2") {
    o.fields = {formatFixed(sales_, 2), formatFixed(refunds_, 2)};
  } else if (f[1] == "3") {
    return fail("0204");
  } else {
    return fail("0104");
  }
  return o;
}

Outcome Printer::lastReceiptNumber() const {
  Outcome o;
  o.fields = {std::to_string(lastReceipt_)};
  return o;
}

void Printer::printCounters(const std::string& title) {
  print(title);
  print("SHIFT " + std::to_string(zHistory_.size() + 1) + "  DATE " + date_);
  print("RECEIPTS " + std::to_string(shiftReceipts_));
  print("SALES " + formatFixed(sales_, 2));
  print("REFUNDS " + formatFixed(refunds_, 2));
  print("DEPOSITS " + formatFixed(deposits_, 2));
  print("WITHDRAWALS " + formatFixed(withdrawals_, 2));
  print("CASH " + formatFixed(cash_, 2));
}

// Field 1 is 1 for the X report, 0 for the Z report (the row allows no other).
Outcome Printer::report(const Fields& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  if (f[1] == "0") return zReport();
  printCounters("X REPORT");
  print("END OF X REPORT");
  return Outcome{};
}

// Prints the shift's counters, keeps them as the next Z record and closes
// the shift with all five counters zeroed.
Outcome Printer::zReport() {
  ZRecord z;
  z.number = static_cast<int>(zHistory_.size()) + 1;
  z.date = date_;
  z.sales = sales_;
  z.refunds = refunds_;
  z.deposits = deposits_;
  z.withdrawals = withdrawals_;
  z.cash = cash_;
  z.receipts = shiftReceipts_;
  printCounters("Z REPORT No " + std::to_string(z.number));
  print("SHIFT " + std::to_string(z.number) + " CLOSED");
  zHistory_.push_back(z);
  cash_ = sales_ = refunds_ = deposits_ = withdrawals_ = 0;
  shiftReceipts_ = 0;
  shiftOpen_ = false;
  for (auto& a : articles_) a.second.soldMilli = a.second.soldCents = 0;
  Outcome o;
  o.fields = {std::to_string(z.number)};
  return o;
}

Outcome Printer::periodicByDate(const Fields& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  int mode = 0;
  if (!parseInt(f[3], mode)) return fail("0303");
  std::string from = sortableDate(f[1]), to = sortableDate(f[2]);
  if (from.empty() || to.empty()) return fail("0C05");
  if (from > to) return fail("0204");
  std::vector<const ZRecord*> chosen;
  for (const auto& z : zHistory_) {
    std::string d = sortableDate(z.date);
    if (d >= from && d <= to) chosen.push_back(&z);
  }
  print("PERIODIC REPORT " + f[1] + "-" + f[2] + " MODE " + std::to_string(mode));
  return periodicTotals(chosen);
}

Outcome Printer::periodicByNumber(const Fields& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  int mode = 0, a = 0, b = 0;
  if (!parseInt(f[3], mode)) return fail("0303");
  if (!parseInt(f[1], a)) return fail("0103");
  if (!parseInt(f[2], b)) return fail("0203");
  if (a > b) return fail("0204");
  std::vector<const ZRecord*> chosen;
  for (const auto& z : zHistory_)
    if (z.number >= a && z.number <= b) chosen.push_back(&z);
  print("PERIODIC REPORT No " + f[1] + "-" + f[2] + " MODE " + std::to_string(mode));
  return periodicTotals(chosen);
}

// The periodic report's body after its title: one line per Z report chosen,
// their totals and the end line; answers the number of Z reports.
Outcome Printer::periodicTotals(const std::vector<const ZRecord*>& chosen) {
  int64_t sales = 0, refunds = 0;
  for (const ZRecord* z : chosen) {
    print("Z No " + std::to_string(z->number) + " " + z->date + " SALES " + formatFixed(z->sales, 2) + " REFUNDS " +
          formatFixed(z->refunds, 2));
    sales += z->sales;
    refunds += z->refunds;
  }
  print("TOTAL SALES " + formatFixed(sales, 2) + " REFUNDS " + formatFixed(refunds, 2));
  print("END OF PERIODIC REPORT");
  Outcome o;
  o.fields = {std::to_string(chosen.size())};
  return o;
}

Outcome Printer::goodsReport() {
  if (kind_ != ReceiptKind::None) return fail("000B");
  print("GOODS REPORT");
  for (const auto& kv : articles_) {
    const Article& a = kv.second;
    if (a.soldMilli == 0 && a.soldCents == 0) continue;
    print(std::to_string(a.code) + " " + a.name + "  " + formatFixed(a.soldMilli, 3) + " = " + formatFixed(a.soldCents, 2));
  }
  print("END OF GOODS REPORT");
  return Outcome{};
}

// A copy of one kept receipt: fields 1 and 2 hold its number twice (the row
// checks that they agree). Answers the number of the receipt copied.
Outcome Printer::copyReceipt(const Fields& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  uint32_t number = 0;
  if (!parseUnsigned(f[1], number)) return fail("070B");
  auto kept = receipts_.find(static_cast<int>(number));
  if (kept == receipts_.end()) return fail("070B");
  print("COPY OF RECEIPT No " + std::to_string(number));
  for (const auto& line : kept->second) print(line);
  print("END OF COPY");
  Outcome o;
  o.fields = {std::to_string(number)};
  return o;
}

}  // namespace datecs_sim
