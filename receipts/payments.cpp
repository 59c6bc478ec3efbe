// Payments: ask the printer for its state, print the total when the receipt
// is still before its total, then pay.
#include "command/text.h"
#include "receipts/receipts.h"

namespace ostrel::receipts {
namespace {

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
void pay(CommandContext& context, const PaymentFields& fields, NeedsTotal needsTotal, uint8_t paymentCode) {
  context.requestStatus(fields.status);
  uint8_t state = context.answer().status[2] & 0x0F;
  if (needsTotal(state)) context.sendNext(code::kTotal, fields.total);
  context.sendNext(paymentCode, fields.payment);
}

}  // namespace

bool TotalByCash(CommandContext& context, Call& call) {
  std::u16string password;
  std::u16string amount;
  PaymentFields fields;
  if (!call.text(0, password) || !call.text(1, amount)) return false;
  std::string pw = AnsiFromWide(password);
  if (!statusAndTotal(pw, fields) ||
      !FormatDataField("%s;0;%s;", {pw, AnsiFromWide(amount)}, kFormatLimit, fields.payment))
    return false;
  context.setLastCmd(amount);
  pay(context, fields, [](uint8_t state) { return state == 1 || state == 2; }, code::kCashPayment);
  return true;
}

bool TotalByCard(CommandContext& context, Call& call) {
  static constexpr int8_t kArgs[] = {0, 1, 2, 3};
  std::u16string password;
  PaymentFields fields;
  if (!call.text(0, password) || !BuildDataField(call, "%s;%i;%s;%s;", kArgs, kFormatLimit, fields.payment) ||
      !statusAndTotal(AnsiFromWide(password), fields))
    return false;
  context.setLastCmd(password);
  pay(context, fields, [](uint8_t state) { return state == 2; }, code::kCardPayment);
  return true;
}

}  // namespace ostrel::receipts
