#include "collector/tools/MonitorFileText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <tuple>

namespace collector_tools {

std::string DateTimeText(platform::DateTime value) {
  if (!platform::IsValidDateTime(value)) return "(invalid)";
  const platform::DateParts date = platform::DecodeDate(value);
  const platform::TimeParts time = platform::DecodeTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date.year, date.month, date.day,
                time.hour, time.minute, time.second);
  std::string result = text;
  if (time.millisecond != 0) {
    std::snprintf(text, sizeof text, ".%03d", time.millisecond);
    result += text;
  }
  return result;
}

std::string ValueText(double value) {
  // The shortest text that reads back exactly, fixed or with an exponent.
  char text[32];
  const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string MonitorFileText(const TMonitorFile& file, const std::string& indent) {
  std::string text = indent + "monitor \"" + file.monitor_name + "\", patient " + file.patient_id +
                     " \"" + file.patient_name + "\"\n";
  struct Row {
    double time;
    size_t serie;
    size_t order;
  };
  std::vector<Row> rows;
  size_t name_width = 0;
  for (size_t s = 0; s < file.series.size(); ++s) {
    name_width = std::max(name_width, file.series[s].name.size());
    for (size_t p = 0; p < file.series[s].points.size(); ++p)
      rows.push_back({file.series[s].points[p].first, s, p});
  }
  // NaN times sort last rather than upsetting the order.
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
    const bool a_nan = std::isnan(a.time), b_nan = std::isnan(b.time);
    if (a_nan != b_nan) return b_nan;
    if (!a_nan && a.time != b.time) return a.time < b.time;
    return std::tie(a.serie, a.order) < std::tie(b.serie, b.order);
  });
  for (const Row& row : rows) {
    const TMonitorSerie& serie = file.series[row.serie];
    std::string name = serie.name;
    name.resize(name_width, ' ');
    std::string line = indent + DateTimeText(row.time) + "  " + name + "  " +
                       ValueText(serie.points[row.order].second);
    if (!serie.unit.empty()) line += " " + serie.unit;
    text += line + "\n";
  }
  size_t empty = 0;
  for (const TMonitorSerie& serie : file.series)
    empty += serie.points.empty() ? 1 : 0;
  text += indent + std::to_string(rows.size()) + (rows.size() == 1 ? " point" : " points") +
          " in " + std::to_string(file.series.size()) + " series";
  if (empty != 0) text += " (" + std::to_string(empty) + " without points)";
  text += "\n";
  for (const std::string& notice : file.notices)
    text += indent + "note: " + notice + "\n";
  if (file.report.skipped_records != 0) {
    text += indent + "note: " + std::to_string(file.report.skipped_records) +
            " records of unknown kinds were left out\n";
  }
  if (file.report.checksum_error) text += indent + "note: a checksum did not match\n";
  return text;
}

int PrintMonitorFiles(const std::vector<std::string>& paths, std::ostream& out, std::ostream& err) {
  if (paths.empty()) {
    err << "usage: print_monitor_file FILE...\n"
           "  prints the patient and every data point (time, parameter, value, unit)\n"
           "  of each monitor-data file, e.g. DATA/12345678.$90/ABL.vor\n";
    return 2;
  }
  int result = 0;
  bool first = true;
  for (const std::string& path : paths) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
      err << "print_monitor_file: " << path << ": no such file\n";
      result = 1;
      continue;
    }
    try {
      const TMonitorFile file = ReadMonitorFile(path);
      if (!file.has_monitor_record) {
        err << "print_monitor_file: " << path << ": not a monitor-data file\n";
        result = 1;
        continue;
      }
      out << (first ? "" : "\n") << path << "\n" << MonitorFileText(file);
      first = false;
    } catch (const std::exception& error) {
      err << "print_monitor_file: " << path << ": " << error.what() << "\n";
      result = 1;
    }
  }
  out.flush();
  return result;
}

}  // namespace collector_tools
