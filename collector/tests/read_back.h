// Reads a monitor-data file back with a save component of its own, for tests that
// check what the collector filed (the printing tool's reader).
#pragma once

#include <string>

#include "collector/tools/MonitorFileRead.h"

namespace collector_test {

using TReadSerie = collector_tools::TMonitorSerie;
using TReadFile = collector_tools::TMonitorFile;

inline TReadFile ReadBack(const std::string& path) {
  return collector_tools::ReadMonitorFile(path);
}

}  // namespace collector_test
