// Suggestions for a mistyped method or property name: the names a user most
// likely meant, English or Russian.
#pragma once

#include <string>
#include <vector>

namespace addinhost {

// Letters folded to lower case, Latin and Cyrillic (with Ё), so "closereceipt"
// and "закрытьчек" match their names.
std::u16string foldCase(const std::u16string& s);

// Edit distance (insertions, deletions, substitutions) of the folded names.
size_t editDistance(const std::u16string& a, const std::u16string& b);

// The candidates `name` most likely means, at most `limit`: those equal to it
// but for letter case first, then the nearest by edit distance, within a
// third of the name's length (at least 2). Empty when none is near.
std::vector<std::u16string> closestNames(const std::u16string& name, const std::vector<std::u16string>& candidates,
                                         size_t limit = 3);

}  // namespace addinhost
