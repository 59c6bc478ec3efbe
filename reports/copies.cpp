// Copy of the last receipt: ask the printer for its number, then copy it.
#include <algorithm>
#include <cstring>

#include "command/text.h"
#include "reports/reports.h"

namespace ostrel::reports {

bool CopyLastReceipt(CommandContext& context, Call& call) {
  std::u16string password;
  std::string query;
  if (!call.text(0, password)) return false;
  std::string pw = AnsiFromWide(password);
  if (!FormatDataField("%s;3;", {pw}, kFormatLimit, query)) return false;
  context.setLastCmd(password);
  context.send(code::kLastReceipt, query);
  const Answer& answer = context.answer();
  // No answer, or a refusal: there is no receipt number to copy.
  if (!context.accepted()) return true;

  std::string number = answer.fieldCount > 0 ? answer.fields[0] : "";
  std::string copy;
  if (!FormatDataField("%s;%s;%s;", {pw, number, number}, kFormatLimit, copy)) return false;
  context.pauseBeforeCopy();
  context.send(code::kCopyReceipt, copy);
  // Field 0 shows the copy request that was sent (cut to the slot's size).
  Answer& after = context.answer();
  size_t n = std::min(copy.size(), kAnswerSlotSize - 1);
  std::memcpy(after.fields[0], copy.data(), n);
  after.fields[0][n] = 0;
  return true;
}

}  // namespace ostrel::reports
