// Reports and programming: X, Z and periodic reports, receipt copies, goods
// reports, the article database, operators and printer parameters.
#pragma once

#include "command/command.h"

namespace ostrel::reports {

inline constexpr CommandDef kPrintXReportL{161, "%s;1;", {0}, Args({0}), 1, kJoinLimit};
inline constexpr CommandDef kPrintZReportL{161, "%s;0;", {0}, Args({0}), 1, kJoinLimit};
inline constexpr CommandDef kPeriodicReportByNum{163, "%s;%i;%i;%i;", {0, 1, 2, 3}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kCopyReceipt{235, "%s;%i;%i;", {0, 1, 1}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kPrintGoodsReport{164, "%s;%i;%i;", {0, 1, 2}, Args({0}), 1, kFormatLimit};

inline constexpr CommandDef kProgramArticle{36, "%s;%s;%s;%i;%i;%s;%s;", {0, 1, 2, 3, 4, 5, 6}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kProgramArticleNew{87, "%s;%s;%s;%i;%i;%s;%s;%s;%s;", {0, 1, 2, 3, 4, 5, 6, 7, 8}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kReadArticulCod{89, "%s;%i;", {0, 1}, Args({0}), 1, kFormatLimit};

inline constexpr CommandDef kSetOperatorParam{47, "%s;%i;%s;%s;", {0, 1, 2, 3}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kGetCommandParams{94, "%s;%i;", {0, 1}, Args({0}), 1, kFormatLimit};
inline constexpr CommandDef kTestTCPconn{151, "%s;", {0}, Args({0}), 1, kFormatLimit};

bool PeriodicReportByDate(CAddInNative& component, Call& call);
bool CopyLastReceipt(CAddInNative& component, Call& call);
bool ProgSaleArticle(CAddInNative& component, Call& call);
bool PrgSaleArticleNew(CAddInNative& component, Call& call);

// The first article code the program-and-sell methods try for an identity.
uint32_t ArticleCode(const uint8_t* identity, size_t size);

}  // namespace ostrel::reports
