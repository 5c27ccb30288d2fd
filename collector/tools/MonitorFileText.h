// What print_monitor_file shows of a monitor-data file: the monitor record's
// patient, then every data point as time, parameter, value and unit, ordered by
// time (a message's results stand together) and within a time by series.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "collector/tools/MonitorFileRead.h"
#include "platform/date_time.h"

namespace collector_tools {

// "2001-01-22 18:17:00", with ".250" when the milliseconds are not 0; "(invalid)"
// for a value that names no time.
std::string DateTimeText(platform::DateTime value);

// The shortest text that reads back as the same value: 3.9, 770, 1e-06.
std::string ValueText(double value);

// The file's text, every line ending in "\n", each after Indent.
std::string MonitorFileText(const TMonitorFile& file, const std::string& indent = "  ");

// The program: prints each file's name and text to Out, an empty line between
// files. A file that is missing,
// cannot be read or is not a monitor-data file is reported to Err and makes the
// result 1; the other files are printed all the same. No file: the usage, 2.
int PrintMonitorFiles(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err);

}  // namespace collector_tools
