// Periodic report over a range of dates.
#include "command/text.h"
#include "reports/reports.h"

namespace ostrel::reports {
namespace {

// DDMMYYYY becomes DDMMYY; any other length is refused rather than sent
// half-formed.
bool shortDate(const std::u16string& date, std::string& out) {
  std::string bytes = AnsiFromWide(date);
  if (bytes.size() != 8) return false;
  out = bytes.substr(0, 4) + bytes.substr(6, 2);
  return true;
}

}  // namespace

bool PeriodicReportByDate(CommandContext& context, Call& call) {
  std::u16string password;
  std::u16string from;
  std::u16string to;
  int32_t mode = 0;
  std::string first;
  std::string last;
  std::string data;
  if (!call.text(0, password) || !call.text(1, from) || !call.text(2, to) || !call.integer(3, mode)) return false;
  if (!shortDate(from, first) || !shortDate(to, last)) return false;
  if (!FormatDataField("%s;%s;%s;%i;", {AnsiFromWide(password), first, last, mode}, kFormatLimit, data)) return false;
  context.setLastCmd(password);
  context.send(code::kPeriodicByDate, data);
  return true;
}

}  // namespace ostrel::reports
