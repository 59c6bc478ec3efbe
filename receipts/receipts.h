// Receipts: opening, closing and cancelling, sales and discounts, totals and
// payments, texts, barcodes and QR codes, excise sales, electronic payments
// and payouts, service cash movements.
#pragma once

#include "command/command.h"

namespace ostrel::receipts {

// Command 99 opens all three kinds of receipt; its fourth field is the kind.
inline constexpr CommandDef kBegFiscalReceipt{99, "%s;%i;%i;0;", {0, 1, 2}, Args({0}), 2, kFormatLimit};
inline constexpr CommandDef kBegRefundReceipt{99, "%s;%i;%i;1;", {0, 1, 2}, Args({0}), 2, kFormatLimit};
inline constexpr CommandDef kOpenCashReceipt{99, "%s;%i;%i;2;", {0, 1, 2}, Args({0}), 2, kFormatLimit};
inline constexpr CommandDef kBeginNonFiscal{96, "%s;", {0}, Args({0}), 1, kJoinLimit};
inline constexpr CommandDef kCloseReceipt{101, "%s;;", {0}, Args({0}), 1, kJoinLimit};
inline constexpr CommandDef kResetReceipt{107, "%s;0;", {0}, Args({0}), 1, kJoinLimit};

inline constexpr CommandDef kSellArticul{100, "%s;%s;%s;%s;", {0, 1, 2, 3}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kDiscountPersArt{104, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit};
inline constexpr CommandDef kDiscountAbsArt{105, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit};
inline constexpr CommandDef kDiscountPersSum{115, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit};
inline constexpr CommandDef kDiscountAbsSum{116, "%s;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit};

inline constexpr CommandDef kPrintTotal{109, "%s;%i;", {0, 1}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kPayCash2{122, "%s;%i;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kPayCash3{122, "%s;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8}, Args({0}), 1, kFormatLimit};

inline constexpr CommandDef kPrintComment{97, "%s;%s;", {0, 1}, Args({0, 1}), 1, kJoinLimit};
inline constexpr CommandDef kPrintBarCodeL{113, "%s;%i;%i;%i;%i;%s;", {0, 1, 2, 3, 4, 5}, Args({0, 5}), 1, kFormatLimit};
inline constexpr CommandDef kPrintQRcode{228, "%s;%s;%i;", {0, 1, 2}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kQRInfo{229, "%s;%i;%s;", {0, 1, 2}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kReadQRExt{230, "%s;", {0}, Args({0}), 1, kFormatLimit};

inline constexpr CommandDef kMakeExciseSale{124, "%s;%i;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kMakeElektrPayment{123, "%s;%i;%s;%s;%s;%s;%s;%s;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, Args({0}), 1, kFormatLimit};

inline constexpr CommandDef kServCashInOut{119, "%s;0;%s;", {0, 1}, Args({0, 1}), 2, kFormatLimit};

// Status request, then the total when the receipt state asks for it, then
// the payment.
bool TotalByCash(CAddInNative& component, Call& call);
bool TotalByCard(CAddInNative& component, Call& call);

}  // namespace ostrel::receipts
