#include "figures.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class Report : public ::testing::Environment {
 public:
  void TearDown() override {
    std::printf("reliability figures: %llu faults injected, %llu hostile calls tried\n",
                static_cast<unsigned long long>(figures::faults().load()),
                static_cast<unsigned long long>(figures::calls().load()));
  }
};

const auto* const kReport = ::testing::AddGlobalTestEnvironment(new Report);

}  // namespace
