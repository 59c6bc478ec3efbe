// Receipts and payments: opening, sales, discounts, the total, cash and card
// payments, service cash in and out, closing and cancelling. A receipt
// changes the shift's counters only when it is closed.
#include <string>

#include "sim/model_fields.h"
#include "sim/printer.h"

namespace datecs_sim {

namespace {

const char* kindName(ReceiptKind k) {
  switch (k) {
    case ReceiptKind::Sale: return "SALE RECEIPT";
    case ReceiptKind::Refund: return "REFUND RECEIPT";
    case ReceiptKind::Service: return "SERVICE RECEIPT";
    case ReceiptKind::NonFiscal: return "NON-FISCAL RECEIPT";
    default: return "RECEIPT";
  }
}

bool saleOrRefund(ReceiptKind k) { return k == ReceiptKind::Sale || k == ReceiptKind::Refund; }

}  // namespace

int64_t Printer::subtotal() const {
  int64_t s = subtotalDiscount_;
  for (const auto& it : items_) s += it.sumCents + it.discountCents;
  return s;
}

int64_t Printer::remaining() const {
  int64_t r = subtotal() - paid_;
  return r > 0 ? r : 0;
}

Outcome Printer::openReceipt(const Fields& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  int op = 0, till = 0;
  if (!parseInt(f[1], op)) return fail("0103");
  if (!parseInt(f[2], till)) return fail("0203");
  // Field 3 is 0, 1 or 2: the command's row checks it.
  ReceiptKind k = f[3] == "0" ? ReceiptKind::Sale : f[3] == "1" ? ReceiptKind::Refund : ReceiptKind::Service;
  if (!shiftOpen_) {
    shiftOpen_ = true;
    print("SHIFT " + std::to_string(zHistory_.size() + 1) + " OPENED");
  }
  kind_ = k;
  rstate_ = k == ReceiptKind::Service ? 7 : 1;
  opNumber_ = op;
  items_.clear();
  subtotalDiscount_ = paid_ = cashIn_ = change_ = pendingDeposit_ = pendingWithdrawal_ = 0;
  receiptLines_.clear();
  print(std::string(kindName(k)) + " No " + std::to_string(lastReceipt_ + 1));
  print("OPERATOR " + std::to_string(op) + " TILL " + std::to_string(till));
  Outcome o;
  o.fields = {std::to_string(lastReceipt_ + 1)};
  return o;
}

Outcome Printer::openNonFiscal() {
  if (kind_ != ReceiptKind::None) return fail("000B");
  kind_ = ReceiptKind::NonFiscal;
  rstate_ = 5;
  receiptLines_.clear();
  print(kindName(kind_));
  return Outcome{};
}

void Printer::endReceipt() {
  kind_ = ReceiptKind::None;
  rstate_ = 0;
  items_.clear();
  subtotalDiscount_ = paid_ = cashIn_ = change_ = pendingDeposit_ = pendingWithdrawal_ = 0;
  receiptLines_.clear();
}

Outcome Printer::closeReceipt() {
  Outcome o;
  switch (kind_) {
    case ReceiptKind::None: return fail("000B");
    case ReceiptKind::NonFiscal:
      print("END OF NON-FISCAL RECEIPT");
      endReceipt();
      return o;
    case ReceiptKind::Sale:
    case ReceiptKind::Refund:
      if (remaining() > 0) return fail("000B");
      bookSaleOrRefund();
      break;
    case ReceiptKind::Service:
      deposits_ += pendingDeposit_;
      withdrawals_ += pendingWithdrawal_;
      cash_ += pendingDeposit_ - pendingWithdrawal_;
      break;
  }
  int number = ++lastReceipt_;
  ++shiftReceipts_;
  print("END OF RECEIPT No " + std::to_string(number));
  receipts_[number] = receiptLines_;
  endReceipt();
  o.fields = {std::to_string(number)};
  return o;
}

// A paid sale or refund receipt goes into the shift's counters, the drawer
// and the articles' sold quantities.
void Printer::bookSaleOrRefund() {
  int64_t t = subtotal();
  bool refund = kind_ == ReceiptKind::Refund;
  if (refund) {
    refunds_ += t;
    cash_ -= cashIn_;
  } else {
    sales_ += t;
    cash_ += cashIn_ - change_;
  }
  for (const auto& it : items_) {
    auto a = articles_.find(it.code);
    if (a == articles_.end()) continue;
    a->second.soldMilli += refund ? -it.qtyMilli : it.qtyMilli;
    a->second.soldCents += refund ? -(it.sumCents + it.discountCents) : it.sumCents + it.discountCents;
  }
}

Outcome Printer::cancelReceipt() {
  if (kind_ == ReceiptKind::None) return fail("000B");
  print("RECEIPT CANCELLED");
  endReceipt();
  return Outcome{};
}

Outcome Printer::sale(const Fields& f) {
  if (!saleOrRefund(kind_) || (rstate_ != 1 && rstate_ != 2)) return fail("000B");
  uint32_t code = 0;
  if (!parseUnsigned(f[1], code)) return fail("0103");
  auto a = articles_.find(code);
  if (a == articles_.end()) return fail("020A");
  int64_t qty = 0, price = 0;
  if (!parseFixed(f[2], 3, qty) || qty <= 0) return fail("0F0B");
  if (!parseFixed(f[3], 2, price) || price < 0) return fail("100B");
  Item it;
  it.name = a->second.name;
  it.code = code;
  it.qtyMilli = qty;
  it.priceCents = price;
  it.sumCents = roundMulDiv(qty, price, 1000);
  if (it.sumCents > kMaxAmount || subtotal() + it.sumCents > kMaxAmount) return fail("0C0B");
  items_.push_back(it);
  rstate_ = 2;
  print(it.name + "  " + formatFixed(qty, 3) + " x " + formatFixed(price, 2) + " = " + formatFixed(it.sumCents, 2));
  Outcome o;
  o.fields = {formatFixed(subtotal(), 2)};
  return o;
}

// A percentage or an amount off the last sale or off the subtotal; a
// negative value is a surcharge.
Outcome Printer::discount(bool percent, bool onSubtotal, const Fields& f) {
  if (rstate_ != 2 || items_.empty()) return fail("000B");
  int64_t v = 0;
  if (!parseFixed(f[1], 2, v)) return fail("0103");
  int64_t base = onSubtotal ? subtotal() : items_.back().sumCents + items_.back().discountCents;
  int64_t amount;  // what comes off the price; negative for a surcharge
  if (percent) {
    if (v <= -10000 || v >= 10000) return fail("0B0B");
    amount = roundMulDiv(base, v, 10000);
  } else {
    if (v > base || v < -kMaxAmount) return fail("0B0B");
    amount = v;
  }
  if (onSubtotal) {
    print("SUBTOTAL " + formatFixed(base, 2));
    subtotalDiscount_ -= amount;
  } else {
    items_.back().discountCents -= amount;
  }
  std::string what = amount >= 0 ? "DISCOUNT" : "SURCHARGE";
  if (onSubtotal) what += " ON SUBTOTAL";
  if (percent) what += " " + formatFixed(v < 0 ? -v : v, 2) + "%";
  print(what + " = " + formatFixed(-amount, 2));
  Outcome o;
  o.fields = {formatFixed(subtotal(), 2)};
  return o;
}

Outcome Printer::total() {
  if (!saleOrRefund(kind_) || rstate_ < 1 || rstate_ > 3) return fail("000B");
  rstate_ = 3;
  print("TOTAL " + formatFixed(subtotal(), 2));
  Outcome o;
  o.fields = {formatFixed(subtotal(), 2)};
  return o;
}

std::string Printer::paymentAmount(const std::string& text, int64_t& amount, int64_t& due) const {
  if (!saleOrRefund(kind_) || rstate_ != 3) return "000B";
  due = remaining();
  if (due == 0) return "000B";
  amount = 0;
  if (!text.empty() && !parseFixed(text, 2, amount)) return "0203";
  if (amount < 0) return "0204";
  if (amount == 0) amount = due;  // 0 or empty pays what is due
  return {};
}

Outcome Printer::payCash(const Fields& f) {
  int64_t amount = 0, due = 0;
  std::string refusal = paymentAmount(f[2], amount, due);
  if (!refusal.empty()) return fail(refusal);
  if (kind_ == ReceiptKind::Refund) {
    if (amount > due) return fail("0A0B");
    if (cashIn_ + amount > cash_) return fail("080B");
  }
  if (amount > kMaxAmount) return fail("0D0B");
  paid_ += amount;
  cashIn_ += amount;
  print("CASH " + formatFixed(amount, 2));
  if (paid_ > subtotal()) {
    change_ = paid_ - subtotal();
    print("CHANGE " + formatFixed(change_, 2));
  }
  Outcome o;
  o.fields = {formatFixed(remaining(), 2), formatFixed(change_, 2)};
  return o;
}

Outcome Printer::payCard(const Fields& f) {
  int64_t amount = 0, due = 0;
  std::string refusal = paymentAmount(f[2], amount, due);
  if (!refusal.empty()) return fail(refusal);
  if (amount > due) return fail("0A0B");
  paid_ += amount;
  print("CARD " + formatFixed(amount, 2));
  if (f.size() > 3 && !f[3].empty()) print(f[3]);
  Outcome o;
  o.fields = {formatFixed(remaining(), 2), "0.00"};
  return o;
}

Outcome Printer::cashInOut(const Fields& f) {
  if (kind_ != ReceiptKind::Service) return fail("000B");
  int64_t v = 0;
  if (!parseFixed(f[2], 2, v)) return fail("0203");
  if (v == 0 || v > kMaxAmount || v < -kMaxAmount) return fail("0204");
  if (v > 0) {
    pendingDeposit_ += v;
    print("DEPOSIT " + formatFixed(v, 2));
  } else {
    if (cash_ + pendingDeposit_ - pendingWithdrawal_ < -v) return fail("080B");
    pendingWithdrawal_ += -v;
    print("WITHDRAWAL " + formatFixed(-v, 2));
  }
  Outcome o;
  o.fields = {formatFixed(cash_ + pendingDeposit_ - pendingWithdrawal_, 2)};
  return o;
}

}  // namespace datecs_sim
