// Articles and operators: programming and reading the article database, and
// the operators whose passwords the printer accepts.
#include <string>

#include "sim/model_fields.h"
#include "sim/printer.h"

namespace datecs_sim {

bool Printer::article(uint32_t code, Article& out) const {
  auto it = articles_.find(code);
  if (it == articles_.end()) return false;
  out = it->second;
  return true;
}

Outcome Printer::programArticle(bool longRecord, const Fields& f) {
  uint32_t code = 0;
  if (!parseUnsigned(f[1], code) || code == 0) return fail("0104");
  if (articles_.count(code)) return fail("040A");
  int n1 = 0, n2 = 0;
  if (!parseInt(f[3], n1)) return fail("0303");
  if (!parseInt(f[4], n2)) return fail("0403");
  Article a;
  a.code = code;
  a.name = f[2];
  a.longRecord = longRecord;
  a.fields.assign(f.begin() + 2, f.begin() + (longRecord ? 9 : 7));
  articles_[code] = a;
  return Outcome{};
}

Outcome Printer::readArticle(const Fields& f) const {
  uint32_t code = 0;
  if (!parseUnsigned(f[1], code)) return fail("0103");
  auto it = articles_.find(code);
  if (it == articles_.end()) return fail("020A");
  Outcome o;
  o.fields.push_back(std::to_string(code));
  o.fields.insert(o.fields.end(), it->second.fields.begin(), it->second.fields.end());
  return o;
}

Outcome Printer::setOperator(const Fields& f) {
  int n = 0;
  if (!parseInt(f[1], n)) return fail("0103");
  if (n < 0 || n > 30) return fail("0104");
  if (f[2].empty()) return fail("0204");
  operators_[n] = Operator{f[2], f[3]};
  return Outcome{};
}

bool Printer::passwordOk(const std::string& pw) const {
  for (const auto& op : operators_)
    if (op.second.password == pw) return true;
  return false;
}

}  // namespace datecs_sim
