#include "sim/printer.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace datecs_sim {

namespace {

constexpr int64_t kMaxAmount = 999999999999;  // 9 999 999 999.99

std::string missingField(size_t index) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02X03", static_cast<unsigned>(index & 0xFF));
  return buf;
}

bool parseUnsigned(const std::string& text, uint32_t& out) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t v = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  out = v;
  return true;
}

bool parseInt(const std::string& text, int& out) {
  if (text.empty()) return false;
  bool neg = text[0] == '-';
  uint32_t v = 0;
  if (!parseUnsigned(neg ? text.substr(1) : text, v)) return false;
  out = neg ? -static_cast<int>(v) : static_cast<int>(v);
  return true;
}

// Rounds a * m / b half away from zero (0 < b < 2^62). A product past 64 bits
// gives INT64_MAX or INT64_MIN, beyond any amount the printer accepts.
int64_t roundMulDiv(int64_t a, int64_t m, int64_t b) {
  int64_t p = 0;
  if (__builtin_mul_overflow(a, m, &p)) return (a < 0) != (m < 0) ? INT64_MIN : INT64_MAX;
  int64_t q = p / b, r = p % b;
  if (2 * (r < 0 ? -r : r) >= b) q += (p < 0) ? -1 : 1;
  return q;
}

std::string today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100);
  return buf;
}

std::string nowHHMM() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%02d", tm.tm_hour, tm.tm_min);
  return buf;
}

// DDMMYY to YYMMDD, so dates compare as text; empty when not a valid date.
std::string sortableDate(const std::string& d) {
  if (d.size() != 6) return {};
  for (char c : d)
    if (!std::isdigit(static_cast<unsigned char>(c))) return {};
  int day = std::stoi(d.substr(0, 2)), month = std::stoi(d.substr(2, 2));
  if (day < 1 || day > 31 || month < 1 || month > 12) return {};
  return d.substr(4, 2) + d.substr(2, 2) + d.substr(0, 2);
}

Outcome fail(const std::string& code) {
  Outcome o;
  o.code = code;
  return o;
}

const char* kindName(ReceiptKind k) {
  switch (k) {
    case ReceiptKind::Sale: return "SALE RECEIPT";
    case ReceiptKind::Refund: return "REFUND RECEIPT";
    case ReceiptKind::Service: return "SERVICE RECEIPT";
    case ReceiptKind::NonFiscal: return "NON-FISCAL RECEIPT";
    default: return "RECEIPT";
  }
}

}  // namespace

bool parseFixed(const std::string& text, int decimals, int64_t& out) {
  size_t i = 0;
  bool neg = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
  int64_t whole = 0;
  int intDigits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    if (++intDigits > 12) return false;
    whole = whole * 10 + (text[i++] - '0');
  }
  int64_t frac = 0;
  int fracDigits = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      if (++fracDigits > decimals) return false;
      frac = frac * 10 + (text[i++] - '0');
    }
  }
  if (i != text.size() || intDigits + fracDigits == 0) return false;
  for (int k = fracDigits; k < decimals; ++k) frac *= 10;
  int64_t scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  out = whole * scale + frac;
  if (neg) out = -out;
  return true;
}

std::string formatFixed(int64_t value, int decimals) {
  int64_t scale = 1;
  for (int k = 0; k < decimals; ++k) scale *= 10;
  uint64_t mag = value < 0 ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  std::string s = std::to_string(mag / scale);
  if (decimals > 0) {
    std::string frac = std::to_string(mag % scale);
    s += "." + std::string(decimals - frac.size(), '0') + frac;
  }
  return value < 0 ? "-" + s : s;
}

Printer::Printer(std::string serial) : serial_(std::move(serial)), date_(today()) {
  operators_[1] = Operator{"482915", "OPERATOR 1"};
  busy_[161] = 1500;
  busy_[162] = 2000;
  busy_[163] = 2000;
  busy_[164] = 1500;
  busy_[235] = 800;
}

Status Printer::status() const {
  Status s{0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
  if (lastFailed_) s[0] |= 0x20;
  s[2] |= static_cast<uint8_t>(rstate_ & 0x0F);
  if (kind_ == ReceiptKind::Refund) s[2] |= 0x10;
  if (shiftOpen_) s[5] |= 0x10;
  return s;
}

PrinterState Printer::state() const {
  PrinterState st;
  st.shiftOpen = shiftOpen_;
  st.receipt = kind_;
  st.receiptState = rstate_;
  st.cash = cash_;
  st.sales = sales_;
  st.refunds = refunds_;
  st.deposits = deposits_;
  st.withdrawals = withdrawals_;
  st.lastReceipt = lastReceipt_;
  st.zReports = static_cast<int>(zHistory_.size());
  st.receiptTotal = subtotal();
  st.receiptPaid = paid_;
  st.articles = articles_.size();
  return st;
}

bool Printer::article(uint32_t code, Article& out) const {
  auto it = articles_.find(code);
  if (it == articles_.end()) return false;
  out = it->second;
  return true;
}

void Printer::print(const std::string& line) {
  tape_.push_back(line);
  if (kind_ != ReceiptKind::None) receiptLines_.push_back(line);
  if (sink_) sink_(line);
}

bool Printer::passwordOk(const std::string& pw) const {
  for (const auto& op : operators_)
    if (op.second.password == pw) return true;
  return false;
}

int64_t Printer::subtotal() const {
  int64_t s = subtotalDiscount_;
  for (const auto& it : items_) s += it.sumCents + it.discountCents;
  return s;
}

int64_t Printer::remaining() const {
  int64_t r = subtotal() - paid_;
  return r > 0 ? r : 0;
}

Outcome Printer::execute(uint8_t command, const std::string& data) {
  static const uint8_t known[] = {36,  47,  76,  87,  89,  94,  96,  97,  99,  100, 101, 103, 104,
                                  105, 107, 109, 113, 115, 116, 119, 120, 122, 123, 124, 128, 131,
                                  151, 161, 162, 163, 164, 224, 226, 228, 229, 230, 235};
  bool isKnown = false;
  for (uint8_t k : known) isKnown = isKnown || k == command;
  Outcome o;
  if (!isKnown) {
    o = fail(defaultCode_);
  } else {
    std::vector<std::string> f = splitFields(data);
    if (f.empty())
      o = fail("0003");
    else if (!passwordOk(f[0]))
      o = fail("0006");
    else
      o = run(command, f);
  }
  if (o.code != "0000") o.fields.clear();
  auto forced = forcedBusy_.find(command);
  if (forced != forcedBusy_.end()) {
    o.busyMs = forced->second;
  } else if (!instant_ && o.code == "0000") {
    auto it = busy_.find(command);
    if (it != busy_.end()) o.busyMs = it->second;
  }
  noteAnswerCode(o.code);
  return o;
}

Outcome Printer::run(uint8_t command, const std::vector<std::string>& f) {
  // Field counts each command needs (password included).
  size_t need = 1;
  switch (command) {
    case 36: need = 7; break;
    case 87: need = 9; break;
    case 47: need = 4; break;
    case 89: case 94: case 104: case 105: case 109: case 115: case 116: case 161: case 226: need = 2; break;
    case 99: case 164: case 228: case 229: need = 3; break;
    case 100: case 162: case 163: need = 4; break;
    case 103: case 119: need = 3; break;
    case 120: need = 3; break;
    case 113: need = 6; break;
    case 224: need = 3; break;
    case 235: need = 2; break;
    default: break;
  }
  if (f.size() < need) return fail(missingField(f.size()));

  switch (command) {
    case 128: return status128(f);
    case 224: return counters224(f);
    case 76: {
      Outcome o;
      o.fields = {serial_, "FM" + serial_.substr(serial_.size() > 6 ? serial_.size() - 6 : 0), "SIM-PRINTER", "1.00"};
      return o;
    }
    case 99: return openReceipt(f);
    case 96: return openNonFiscal();
    case 101: return closeReceipt();
    case 107: return cancelReceipt();
    case 100: return sale(f);
    case 104: case 105: case 115: case 116: return discount(command, f);
    case 109: return total();
    case 103: return payCash(f);
    case 120: return payCard(f);
    case 119: return cashInOut(f);
    case 97: print(f.size() > 1 ? f[1] : std::string()); return Outcome{};
    case 113: return barcode(f);
    case 228:
      if (f[1].empty()) return fail("0104");
      qrData_ = f[1];
      print("[QR " + f[1] + "]");
      return Outcome{};
    case 229: {
      int n = 0;
      if (!parseInt(f[1], n)) return fail("0103");
      qrInfo_[n] = f[2];
      return Outcome{};
    }
    case 230: {
      Outcome o;
      o.fields.push_back(qrData_);
      for (const auto& kv : qrInfo_) o.fields.push_back(kv.second);
      return o;
    }
    case 161: return report(f);
    case 162: case 163: return periodic(command, f);
    case 164: return goodsReport();
    case 226: {
      if (f[1] != "3") return fail("0104");
      Outcome o;
      o.fields = {std::to_string(lastReceipt_)};
      return o;
    }
    case 235: return copyReceipt(f);
    case 36: return programArticle(false, f);
    case 87: return programArticle(true, f);
    case 89: return readArticle(f);
    case 47: return setOperator(f);
    case 94: {
      int n = 0;
      if (!parseInt(f[1], n)) return fail("0103");
      if (n < 0 || n > 99) return fail("0104");
      Outcome o;
      std::string value = n == 0 ? std::to_string(kLineWidth) : n == 1 ? serial_ : n == 2 ? date_ : "0";
      o.fields = {std::to_string(n), value};
      return o;
    }
    case 151: {
      Outcome o;
      o.fields = {"0", "CONNECTION OK"};
      return o;
    }
    case 122: case 123: case 124: return record(command, f);
    case 131: return Outcome{};
    default: return fail(defaultCode_);
  }
}

Outcome Printer::status128(const std::vector<std::string>&) {
  Outcome o;
  o.fields = {"1",
              shiftOpen_ ? "1" : "0",
              std::to_string(rstate_),
              std::to_string(lastReceipt_),
              std::to_string(zHistory_.size() + 1),
              date_,
              nowHHMM(),
              serial_,
              std::to_string(kLineWidth),
              "1.00"};
  return o;
}

Outcome Printer::counters224(const std::vector<std::string>& f) {
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

Outcome Printer::openReceipt(const std::vector<std::string>& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  int op = 0, till = 0;
  if (!parseInt(f[1], op)) return fail("0103");
  if (!parseInt(f[2], till)) return fail("0203");
  ReceiptKind k;
  if (f[3] == "0") k = ReceiptKind::Sale;
  else if (f[3] == "1") k = ReceiptKind::Refund;
  else if (f[3] == "2") k = ReceiptKind::Service;
  else return fail("0304");
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
    case ReceiptKind::Refund: {
      if (remaining() > 0) return fail("000B");
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
      break;
    }
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

Outcome Printer::cancelReceipt() {
  if (kind_ == ReceiptKind::None) return fail("000B");
  print("RECEIPT CANCELLED");
  endReceipt();
  return Outcome{};
}

Outcome Printer::sale(const std::vector<std::string>& f) {
  if ((kind_ != ReceiptKind::Sale && kind_ != ReceiptKind::Refund) || (rstate_ != 1 && rstate_ != 2))
    return fail("000B");
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

Outcome Printer::discount(uint8_t command, const std::vector<std::string>& f) {
  if (rstate_ != 2 || items_.empty()) return fail("000B");
  bool percent = command == 104 || command == 115;
  bool onSubtotal = command == 115 || command == 116;
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
  if ((kind_ != ReceiptKind::Sale && kind_ != ReceiptKind::Refund) || rstate_ < 1 || rstate_ > 3)
    return fail("000B");
  rstate_ = 3;
  print("TOTAL " + formatFixed(subtotal(), 2));
  Outcome o;
  o.fields = {formatFixed(subtotal(), 2)};
  return o;
}

std::string Printer::paymentAmount(const std::string& text, int64_t& amount, int64_t& due) const {
  if ((kind_ != ReceiptKind::Sale && kind_ != ReceiptKind::Refund) || rstate_ != 3) return "000B";
  due = remaining();
  if (due == 0) return "000B";
  amount = 0;
  if (!text.empty() && !parseFixed(text, 2, amount)) return "0203";
  if (amount < 0) return "0204";
  if (amount == 0) amount = due;  // 0 or empty pays what is due
  return {};
}

Outcome Printer::payCash(const std::vector<std::string>& f) {
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

Outcome Printer::payCard(const std::vector<std::string>& f) {
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

Outcome Printer::cashInOut(const std::vector<std::string>& f) {
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

Outcome Printer::barcode(const std::vector<std::string>& f) {
  const std::string& data = f[5];
  std::string type;
  if (f[3] == "1") {
    type = "EAN13";
    bool digits = data.size() == 12 || data.size() == 13;
    for (char c : data) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (!digits) return fail("0504");
  } else if (f[3] == "5") {
    type = "CODE39";
  } else {
    type = "TYPE" + f[3];
  }
  if (data.empty()) return fail("0504");
  print("[BARCODE " + type + " " + data + "]");
  return Outcome{};
}

void Printer::printCounters(const char* title) {
  print(title);
  print("SHIFT " + std::to_string(zHistory_.size() + 1) + "  DATE " + date_);
  print("RECEIPTS " + std::to_string(shiftReceipts_));
  print("SALES " + formatFixed(sales_, 2));
  print("REFUNDS " + formatFixed(refunds_, 2));
  print("DEPOSITS " + formatFixed(deposits_, 2));
  print("WITHDRAWALS " + formatFixed(withdrawals_, 2));
  print("CASH " + formatFixed(cash_, 2));
}

Outcome Printer::report(const std::vector<std::string>& f) {
  if (f[1] != "0" && f[1] != "1") return fail("0104");
  if (kind_ != ReceiptKind::None) return fail("000B");
  if (f[1] == "1") {
    printCounters("X REPORT");
    print("END OF X REPORT");
    return Outcome{};
  }
  ZRecord z;
  z.number = static_cast<int>(zHistory_.size()) + 1;
  z.date = date_;
  z.sales = sales_;
  z.refunds = refunds_;
  z.deposits = deposits_;
  z.withdrawals = withdrawals_;
  z.cash = cash_;
  z.receipts = shiftReceipts_;
  printCounters(("Z REPORT No " + std::to_string(z.number)).c_str());
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

Outcome Printer::periodic(uint8_t command, const std::vector<std::string>& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  int mode = 0;
  if (!parseInt(f[3], mode)) return fail("0303");
  std::vector<const ZRecord*> chosen;
  if (command == 162) {
    std::string from = sortableDate(f[1]), to = sortableDate(f[2]);
    if (from.empty() || to.empty()) return fail("0C05");
    if (from > to) return fail("0204");
    for (const auto& z : zHistory_) {
      std::string d = sortableDate(z.date);
      if (d >= from && d <= to) chosen.push_back(&z);
    }
    print("PERIODIC REPORT " + f[1] + "-" + f[2] + " MODE " + std::to_string(mode));
  } else {
    int a = 0, b = 0;
    if (!parseInt(f[1], a)) return fail("0103");
    if (!parseInt(f[2], b)) return fail("0203");
    if (a > b) return fail("0204");
    for (const auto& z : zHistory_)
      if (z.number >= a && z.number <= b) chosen.push_back(&z);
    print("PERIODIC REPORT No " + f[1] + "-" + f[2] + " MODE " + std::to_string(mode));
  }
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

Outcome Printer::copyReceipt(const std::vector<std::string>& f) {
  if (kind_ != ReceiptKind::None) return fail("000B");
  uint32_t a = 0, b = 0;
  if (!parseUnsigned(f[1], a)) return fail("070B");
  if (f.size() < 3 || f[2].empty()) b = a;
  else if (!parseUnsigned(f[2], b)) return fail("070B");
  if (b < a || b - a >= 100) return fail("070B");
  for (uint32_t n = a; n <= b; ++n)
    if (!receipts_.count(static_cast<int>(n))) return fail("070B");
  for (uint32_t n = a; n <= b; ++n) {
    print("COPY OF RECEIPT No " + std::to_string(n));
    for (const auto& line : receipts_[static_cast<int>(n)]) print(line);
    print("END OF COPY");
  }
  return Outcome{};
}

Outcome Printer::programArticle(bool longRecord, const std::vector<std::string>& f) {
  uint32_t code = 0;
  if (!parseUnsigned(f[1], code) || code == 0) return fail("0104");
  if (articles_.count(code)) return fail("040A");
  int n1 = 0, n2 = 0;
  if (!parseInt(f[3], n1)) return fail("0303");
  if (!parseInt(f[4], n2)) return fail("0403");
  Article a;
  a.code = code;
  a.name = f[2];
  a.longRecord = longRecord;
  a.fields.assign(f.begin() + 2, f.begin() + (longRecord ? 9 : 7));
  articles_[code] = a;
  return Outcome{};
}

Outcome Printer::readArticle(const std::vector<std::string>& f) {
  uint32_t code = 0;
  if (!parseUnsigned(f[1], code)) return fail("0103");
  auto it = articles_.find(code);
  if (it == articles_.end()) return fail("020A");
  Outcome o;
  o.fields.push_back(std::to_string(code));
  o.fields.insert(o.fields.end(), it->second.fields.begin(), it->second.fields.end());
  return o;
}

Outcome Printer::setOperator(const std::vector<std::string>& f) {
  int n = 0;
  if (!parseInt(f[1], n)) return fail("0103");
  if (n < 0 || n > 30) return fail("0104");
  if (f[2].empty()) return fail("0204");
  operators_[n] = Operator{f[2], f[3]};
  return Outcome{};
}

Outcome Printer::record(uint8_t command, const std::vector<std::string>& f) {
  std::string line = command == 122 ? "CASH PAYOUT:" : command == 123 ? "ELECTRONIC PAYMENT:" : "EXCISE SALE:";
  for (size_t i = 1; i < f.size(); ++i) line += (i == 1 ? " " : ";") + f[i];
  print(line);
  return Outcome{};
}

}  // namespace datecs_sim
