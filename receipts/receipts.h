// Receipt methods that are more than one command: the payments. (Every
// other receipt method is a command row of the method table.)
#pragma once

#include "command/command.h"

namespace ostrel::receipts {

// A line of text on the receipt; the standard driver prints its non-fiscal
// lines with it too.
inline constexpr CommandDef kPrintText = Command(code::kPrintText, "%s;%s;", {0, 1}, Args({0, 1}), 1, kJoinLimit);

// Status request, then the total when the receipt state asks for it, then
// the payment.
bool TotalByCash(CommandContext& context, Call& call);
bool TotalByCard(CommandContext& context, Call& call);

}  // namespace ostrel::receipts
