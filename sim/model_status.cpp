// What the printer tells about itself: the status bytes, the state tests
// read, the status and identity answers, command parameters and the network
// test.
#include <string>

#include "sim/model_fields.h"
#include "sim/printer.h"

namespace datecs_sim {

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

Outcome Printer::statusFields() const {
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

Outcome Printer::identity() const {
  Outcome o;
  o.fields = {serial_, "FM" + serial_.substr(serial_.size() > 6 ? serial_.size() - 6 : 0), "SIM-PRINTER", "1.00"};
  return o;
}

Outcome Printer::parameters(const Fields& f) const {
  int n = 0;
  if (!parseInt(f[1], n)) return fail("0103");
  if (n < 0 || n > 99) return fail("0104");
  Outcome o;
  std::string value = n == 0 ? std::to_string(kLineWidth) : n == 1 ? serial_ : n == 2 ? date_ : "0";
  o.fields = {std::to_string(n), value};
  return o;
}

Outcome Printer::networkTest() const {
  Outcome o;
  o.fields = {"0", "CONNECTION OK"};
  return o;
}

}  // namespace datecs_sim
