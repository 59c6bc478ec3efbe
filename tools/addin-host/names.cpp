#include "names.h"

#include <algorithm>

namespace addinhost {

std::u16string foldCase(const std::u16string& s) {
  std::u16string out = s;
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    else if (c >= u'А' && c <= u'Я') c = static_cast<char16_t>(c - u'А' + u'а');
    else if (c == u'Ё') c = u'ё';
  }
  return out;
}

size_t editDistance(const std::u16string& a, const std::u16string& b) {
  std::u16string x = foldCase(a), y = foldCase(b);
  std::vector<size_t> row(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= y.size(); ++j) {
      size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[y.size()];
}

std::vector<std::u16string> closestNames(const std::u16string& name, const std::vector<std::u16string>& candidates,
                                         size_t limit) {
  const size_t reach = std::max<size_t>(2, name.size() / 3);
  std::vector<std::pair<size_t, std::u16string>> near;
  for (const auto& c : candidates) {
    size_t d = editDistance(name, c);
    if (d <= reach) near.emplace_back(d, c);
  }
  // Distance 0 is a match but for letter case; stable keeps the table order.
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::u16string> out;
  for (const auto& n : near) {
    if (out.size() == limit) break;
    if (std::find(out.begin(), out.end(), n.second) == out.end()) out.push_back(n.second);
  }
  return out;
}

}  // namespace addinhost
