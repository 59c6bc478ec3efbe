// Report and programming methods that are more than one command row:
// periodic reports by date, the copy of the last receipt, program-and-sell.
#pragma once

#include "command/command.h"

namespace ostrel::reports {

bool PeriodicReportByDate(CommandContext& context, Call& call);
bool CopyLastReceipt(CommandContext& context, Call& call);
bool ProgSaleArticle(CommandContext& context, Call& call);
bool PrgSaleArticleNew(CommandContext& context, Call& call);

// The first article code the program-and-sell methods try for an identity.
uint32_t ArticleCode(const uint8_t* identity, size_t size);

}  // namespace ostrel::reports
