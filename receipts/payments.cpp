// Payments: ask the printer for its state, print the total when the receipt
// is still before its total, then pay.
#include "addin/text.h"
#include "receipts/receipts.h"

namespace ostrel::receipts {
namespace {

constexpr uint8_t kStatusRequest = 128;
constexpr uint8_t kTotal = 109;
constexpr uint8_t kCashPayment = 103;
constexpr uint8_t kCardPayment = 120;

// Status request, then the total if `needsTotal` says so for the receipt
// state, then the payment. The later steps add one to the counter plainly.
template <typename NeedsTotal>
void pay(CAddInNative& component, const std::string& password, NeedsTotal needsTotal, uint8_t paymentCode,
         const std::string& payment) {
  Link& link = component.link();
  link.advanceSequence();
  component.exchange(kStatusRequest, password + ";");
  uint8_t state = link.answer().status[2] & 0x0F;
  if (needsTotal(state)) {
    link.stepSequence();
    component.exchange(kTotal, password + ";1;");
  }
  link.stepSequence();
  component.exchange(paymentCode, payment);
}

}  // namespace

bool TotalByCash(CAddInNative& component, Call& call) {
  std::u16string password;
  std::u16string amount;
  if (!call.text(0, password) || !call.text(1, amount)) return false;
  std::string pw = AnsiFromWide(password);
  std::string payment;
  std::string status;
  if (!FormatDataField("%s;0;%s;", {pw, AnsiFromWide(amount)}, kFormatLimit, payment) ||
      !FormatDataField("%s;1;", {pw}, kFormatLimit, status))
    return false;
  component.texts().lastCmd = amount;
  pay(component, pw, [](uint8_t state) { return state == 1 || state == 2; }, kCashPayment, payment);
  return true;
}

bool TotalByCard(CAddInNative& component, Call& call) {
  static constexpr int8_t kArgs[] = {0, 1, 2, 3};
  std::u16string password;
  std::string payment;
  std::string status;
  if (!call.text(0, password) || !BuildDataField(call, "%s;%i;%s;%s;", kArgs, kFormatLimit, payment)) return false;
  std::string pw = AnsiFromWide(password);
  if (!FormatDataField("%s;1;", {pw}, kFormatLimit, status)) return false;
  component.texts().lastCmd = password;
  pay(component, pw, [](uint8_t state) { return state == 2; }, kCardPayment, payment);
  return true;
}

}  // namespace ostrel::receipts
