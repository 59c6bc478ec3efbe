#include "names.h"

#include <gtest/gtest.h>

namespace addinhost {
namespace {

const std::vector<std::u16string> kNames = {u"CloseReceipt", u"ЗакрытьЧек", u"CloseCheck", u"ClosePort",
                                            u"SellArticul",  u"ПродатьАртикул", u"GetVersion"};

TEST(ClosestNames, SuggestsByCaseThenDistanceInBothLanguages) {
  struct Case {
    std::u16string typed;
    std::vector<std::u16string> want;
  } cases[] = {
      {u"closereceipt", {u"CloseReceipt"}},                 // letter case only: that name alone is nearest
      {u"CloseReciept", {u"CloseReceipt"}},                 // two letters swapped
      {u"закрытьчек", {u"ЗакрытьЧек"}},                     // Cyrillic folded too
      {u"ПродатьАртикл", {u"ПродатьАртикул"}},
      {u"ClosePrt", {u"ClosePort"}},
      {u"CloseChek", {u"CloseCheck"}},
      {u"Frobnicate", {}},                                  // nothing near
  };
  for (const auto& c : cases) EXPECT_EQ(closestNames(c.typed, kNames), c.want) << std::string(c.typed.begin(), c.typed.end());
}

TEST(ClosestNames, CaseOnlyMatchComesBeforeACloserSpelling) {
  // "getversion" is GetVersion but for case (distance 0 once folded).
  auto near = closestNames(u"getversion", {u"GetVersions", u"GetVersion"});
  ASSERT_FALSE(near.empty());
  EXPECT_EQ(near[0], u"GetVersion");
}

}  // namespace
}  // namespace addinhost
