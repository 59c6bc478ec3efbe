// The printer's command codes and the default operator password: the one
// vocabulary the component, the simulator, the trace decoder and the tests
// share. Header only, no dependencies, so every program can include it.
#pragma once

#include <cstdint>

namespace ostrel::code {

constexpr uint8_t kProgramArticle = 36;      // short article record
constexpr uint8_t kSetOperator = 47;         // operator name and password
constexpr uint8_t kIdentity = 76;            // field 0: the printer's serial number
constexpr uint8_t kProgramArticleLong = 87;  // long article record
constexpr uint8_t kReadArticle = 89;
constexpr uint8_t kCommandParams = 94;
constexpr uint8_t kOpenNonFiscal = 96;
constexpr uint8_t kPrintText = 97;
constexpr uint8_t kOpenReceipt = 99;  // fourth field: 0 sale, 1 refund, 2 service
constexpr uint8_t kSale = 100;
constexpr uint8_t kCloseReceipt = 101;
constexpr uint8_t kCashPayment = 103;
constexpr uint8_t kDiscountPercentArticle = 104;
constexpr uint8_t kDiscountArticle = 105;
constexpr uint8_t kCancelReceipt = 107;
constexpr uint8_t kTotal = 109;
constexpr uint8_t kBarcode = 113;
constexpr uint8_t kDiscountPercentSubtotal = 115;
constexpr uint8_t kDiscountSubtotal = 116;
constexpr uint8_t kCashInOut = 119;
constexpr uint8_t kCardPayment = 120;
constexpr uint8_t kPayout = 122;
constexpr uint8_t kElectronicPayment = 123;
constexpr uint8_t kExciseSale = 124;
constexpr uint8_t kStatus = 128;  // status bytes: receipt and shift state; field 8: line width
constexpr uint8_t kCashDrawer = 131;
constexpr uint8_t kNetworkTest = 151;
constexpr uint8_t kReport = 161;  // second field: 1 X report, 0 Z report
constexpr uint8_t kPeriodicByDate = 162;
constexpr uint8_t kPeriodicByNumber = 163;
constexpr uint8_t kGoodsReport = 164;
constexpr uint8_t kCounters = 224;
constexpr uint8_t kLastReceipt = 226;
constexpr uint8_t kQrCode = 228;
constexpr uint8_t kQrInfo = 229;
constexpr uint8_t kQrData = 230;
constexpr uint8_t kCopyReceipt = 235;

// A command code with the words a trace shows for it.
struct Named {
  uint8_t code;
  const char* name;
};

inline constexpr Named kNames[] = {
    {kProgramArticle, "program article"},
    {kSetOperator, "operator settings"},
    {kIdentity, "identity"},
    {kProgramArticleLong, "program article (long)"},
    {kReadArticle, "read article"},
    {kCommandParams, "command parameters"},
    {kOpenNonFiscal, "open non-fiscal receipt"},
    {kPrintText, "print text"},
    {kOpenReceipt, "open receipt"},
    {kSale, "sale"},
    {kCloseReceipt, "close receipt"},
    {kCashPayment, "cash payment"},
    {kDiscountPercentArticle, "discount % on article"},
    {kDiscountArticle, "discount on article"},
    {kCancelReceipt, "cancel receipt"},
    {kTotal, "total"},
    {kBarcode, "barcode"},
    {kDiscountPercentSubtotal, "discount % on subtotal"},
    {kDiscountSubtotal, "discount on subtotal"},
    {kCashInOut, "cash in/out"},
    {kCardPayment, "card payment"},
    {kPayout, "cash payout"},
    {kElectronicPayment, "electronic payment"},
    {kExciseSale, "excise sale"},
    {kStatus, "status"},
    {kCashDrawer, "cash drawer"},
    {kNetworkTest, "network test"},
    {kReport, "X/Z report"},
    {kPeriodicByDate, "periodic report by date"},
    {kPeriodicByNumber, "periodic report by number"},
    {kGoodsReport, "goods report"},
    {kCounters, "money counters"},
    {kLastReceipt, "last receipt number"},
    {kQrCode, "QR code"},
    {kQrInfo, "QR code info"},
    {kQrData, "QR code data"},
    {kCopyReceipt, "receipt copy"},
};

// The trace's words for a code; "" for a code the component never sends.
constexpr const char* nameOf(uint8_t c) {
  for (const Named& n : kNames) {
    if (n.code == c) return n.name;
  }
  return "";
}

}  // namespace ostrel::code

namespace ostrel {

// The operator password every password parameter announces as its default,
// and the one the standard driver methods send.
inline constexpr char kDefaultPassword[] = "482915";

}  // namespace ostrel
