// Program and sell in one call: derive the article code from the article's
// identity, search upwards from it until the printer takes the record, then
// sell under the code it took.
#include <array>
#include <cstring>

#include "command/numbers.h"
#include "command/text.h"
#include "reports/reports.h"

namespace ostrel::reports {
namespace {

constexpr uint32_t kCodeModulus = 500000;
// The search stops after this many refused codes, whatever the printer says.
constexpr int kMaxAttempts = 1000;

constexpr std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr auto kCrcTable = makeCrcTable();

struct ArticleArgs {
  int name, number1, number2;
  std::array<int, 4> texts;  // -1: not in this record
  int identityText;          // text that joins the identity, or -1
  int quantity, price;
  uint8_t programCode;  // the record's command
  const char* format;  // the record with a derived code
};

constexpr ArticleArgs kShort{1, 2, 3, {4, 5, -1, -1}, -1, 6, 7, code::kProgramArticle, "%s;%i;%s;%i;%i;%s;%s;"};
constexpr ArticleArgs kLong{1, 2, 3, {4, 5, 6, 7}, 7, 8, 9, code::kProgramArticleLong, "%s;%i;%s;%i;%i;%s;%s;%s;%s;"};

std::string cleanName(std::string name) {
  for (char& c : name) {
    if (c == ';') c = ',';
    if (c == '\r' || c == '\n') c = ' ';
  }
  return name;
}

bool buildRecord(const ArticleArgs& a, const std::string& pw, uint32_t code, const std::string& name, int32_t n1,
                 int32_t n2, const std::array<std::string, 4>& texts, std::string& out) {
  if (a.texts[2] < 0) {
    return FormatDataField(a.format, {pw, static_cast<int64_t>(code), name, n1, n2, texts[0], texts[1]}, kFormatLimit,
                           out);
  }
  return FormatDataField(a.format, {pw, static_cast<int64_t>(code), name, n1, n2, texts[0], texts[1], texts[2], texts[3]},
                         kFormatLimit, out);
}

bool buildSale(const std::string& pw, uint32_t code, const std::string& quantity, const std::string& price,
               std::string& out) {
  if (!FormatDataField("%s;%i;%s;%s;", {pw, static_cast<int64_t>(code), quantity, price}, kFormatLimit, out))
    return false;
  for (char& c : out) {
    if (c == ',') c = '.';
  }
  return true;
}

bool programAndSell(CommandContext& context, Call& call, const ArticleArgs& a) {
  std::u16string password, name, quantity, price;
  int32_t n1 = 0, n2 = 0;
  std::array<std::string, 4> texts;
  if (!call.text(0, password) || !call.text(a.name, name) || !call.integer(a.number1, n1) ||
      !call.integer(a.number2, n2) || !call.text(a.quantity, quantity) || !call.text(a.price, price))
    return false;
  for (size_t i = 0; i < a.texts.size(); ++i) {
    std::u16string text;
    if (a.texts[i] >= 0) {
      if (!call.text(a.texts[i], text)) return false;
      texts[i] = AnsiFromWide(text);
    }
  }
  std::string pw = AnsiFromWide(password);
  std::string cleaned = cleanName(AnsiFromWide(name));
  std::string qty = AnsiFromWide(quantity);
  std::string prc = AnsiFromWide(price);

  // The identity: cleaned name, the long record's text 4, number 1 in
  // decimal, in full (no length limit, so long names still get their own code).
  std::string identity = cleaned;
  if (a.identityText >= 0) identity += texts[3];
  identity += DecimalText(n1);
  uint32_t first = ArticleCode(reinterpret_cast<const uint8_t*>(identity.data()), identity.size());

  // The first code's record and sale must fit before anything is sent.
  std::string record;
  std::string sale;
  if (!buildRecord(a, pw, first, cleaned, n1, n2, texts, record) || !buildSale(pw, first, qty, prc, sale))
    return false;

  context.setLastCmd(price);
  bool accepted = false;
  uint32_t code = first;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt, ++code) {
    // A later code can be one digit longer: its frames are checked in turn,
    // and the search ends where they no longer fit.
    if (!buildRecord(a, pw, code, cleaned, n1, n2, texts, record) || !buildSale(pw, code, qty, prc, sale)) break;
    context.send(a.programCode, record);
    const Answer& answer = context.answer();
    if (answer.timedOut) break;
    if (context.accepted()) {
      accepted = true;
      break;
    }
    if (std::strcmp(answer.errorCode, "040A") != 0) break;  // not an occupied code: trying on will not help
  }
  if (!accepted) return false;

  context.sendNext(code::kSale, sale);
  return true;
}

}  // namespace

uint32_t ArticleCode(const uint8_t* identity, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ identity[i]) & 0xFF] ^ (crc >> 8);
  crc = ~crc;
  uint32_t code = crc % kCodeModulus;
  return code == 0 ? kCodeModulus : code;
}

bool ProgSaleArticle(CommandContext& context, Call& call) { return programAndSell(context, call, kShort); }
bool PrgSaleArticleNew(CommandContext& context, Call& call) { return programAndSell(context, call, kLong); }

}  // namespace ostrel::reports
