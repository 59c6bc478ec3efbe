// Copy of the last receipt: ask the printer for its number, then copy it.
#include <algorithm>
#include <cstring>

#include "command/text.h"
#include "reports/reports.h"

namespace ostrel::reports {

bool CopyLastReceipt(CAddInNative& component, Call& call) {
  std::u16string password;
  std::string query;
  if (!call.text(0, password)) return false;
  std::string pw = AnsiFromWide(password);
  if (!FormatDataField("%s;3;", {pw}, kFormatLimit, query)) return false;
  component.texts().lastCmd = password;
  Link& link = component.link();
  link.advanceSequence();
  component.exchange(226, query);
  const Answer& answer = link.answer();
  // No answer, or a refusal: there is no receipt number to copy.
  if (answer.timedOut || std::strcmp(answer.errorCode, "0000") != 0) return true;

  std::string number = answer.fieldCount > 0 ? answer.fields[0] : "";
  std::string copy;
  if (!FormatDataField("%s;%s;%s;", {pw, number, number}, kFormatLimit, copy)) return false;
  link.clock().sleepMs(link.timings().copyPauseMs);
  link.advanceSequence();
  component.exchange(235, copy);
  // Field 0 shows the copy request that was sent (cut to the slot's size).
  Answer& after = link.answer();
  size_t n = std::min(copy.size(), kAnswerSlotSize - 1);
  std::memcpy(after.fields[0], copy.data(), n);
  after.fields[0][n] = 0;
  return true;
}

}  // namespace ostrel::reports
