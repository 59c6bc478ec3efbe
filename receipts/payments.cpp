// Payments: ask the printer for its state, print the total when the receipt
// is still before its total, then pay.
#include "command/text.h"
#include "status/status.h"
#include "receipts/receipts.h"

namespace ostrel::receipts {
namespace {

constexpr uint8_t kTotal = 109;
constexpr uint8_t kCashPayment = 103;
constexpr uint8_t kCardPayment = 120;

// The three frames of a payment, built and checked before any is sent.
struct PaymentFields {
  std::string status;   // "%s;"
  std::string total;    // "%s;1;"
  std::string payment;  // the payment command's own field
};

bool statusAndTotal(const std::string& password, PaymentFields& out) {
  return FormatDataField("%s;", {password}, kFormatLimit, out.status) &&
         FormatDataField("%s;1;", {password}, kFormatLimit, out.total);
}

// Status request, then the total if `needsTotal` says so for the receipt
// state, then the payment. The later steps add one to the counter plainly.
template <typename NeedsTotal>
void pay(CAddInNative& component, const PaymentFields& fields, NeedsTotal needsTotal, uint8_t paymentCode) {
  Link& link = component.link();
  link.advanceSequence();
  component.exchange(status::kStatusRequest, fields.status);
  uint8_t state = link.answer().status[2] & 0x0F;
  if (needsTotal(state)) {
    link.stepSequence();
    component.exchange(kTotal, fields.total);
  }
  link.stepSequence();
  component.exchange(paymentCode, fields.payment);
}

}  // namespace

bool TotalByCash(CAddInNative& component, Call& call) {
  std::u16string password;
  std::u16string amount;
  PaymentFields fields;
  if (!call.text(0, password) || !call.text(1, amount)) return false;
  std::string pw = AnsiFromWide(password);
  if (!statusAndTotal(pw, fields) ||
      !FormatDataField("%s;0;%s;", {pw, AnsiFromWide(amount)}, kFormatLimit, fields.payment))
    return false;
  component.texts().lastCmd = amount;
  pay(component, fields, [](uint8_t state) { return state == 1 || state == 2; }, kCashPayment);
  return true;
}

bool TotalByCard(CAddInNative& component, Call& call) {
  static constexpr int8_t kArgs[] = {0, 1, 2, 3};
  std::u16string password;
  PaymentFields fields;
  if (!call.text(0, password) || !BuildDataField(call, "%s;%i;%s;%s;", kArgs, kFormatLimit, fields.payment) ||
      !statusAndTotal(AnsiFromWide(password), fields))
    return false;
  component.texts().lastCmd = password;
  pay(component, fields, [](uint8_t state) { return state == 2; }, kCardPayment);
  return true;
}

}  // namespace ostrel::receipts
