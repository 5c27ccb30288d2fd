// What the collector's benchmark programs share: the offscreen application, with
// the data model registered, and percentiles of samples.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "datamodel/DataModel.h"
#include "platform/qt/application.h"

namespace collector_bench {

inline platform::qt::TApplication& App() {
  static int argc = 1;
  static char name[] = "gasbridge_bench";
  static char* argv[] = {name, nullptr};
  static platform::qt::TApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    RegisterDataModel();
    return new platform::qt::TApplication(argc, argv);
  }();
  return *app;
}

// The P-th fraction of Samples (0.5 the median); 0 without samples.
inline double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[std::min(samples.size() - 1,
                          static_cast<size_t>(p * static_cast<double>(samples.size())))];
}

}  // namespace collector_bench
