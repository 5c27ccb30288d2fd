// A patient's monitor-data file read back with a save component of its own: the
// monitor record and the parameter series with their points, in file order. The
// printing tool (print_monitor_file) and the tests that check what the collector
// filed read files through this.
//
// The data model's classes must be registered (RegisterDataModel) before a file is
// read, or the series records are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datamodel/PointsU.h"
#include "datamodel/SaveITNew.h"
#include "datamodel/Series_C.h"

namespace collector_tools {

struct TMonitorSerie {
  int16_t index = 0;
  std::string name, place, extra, unit;
  std::vector<std::pair<double, double>> points;  // time, value
};

struct TMonitorFile {
  bool has_monitor_record = false;
  std::string monitor_name, monitor_detail, patient_id, patient_name;
  std::vector<TMonitorSerie> series;
  TLoadReport report;
  // What the save component said about the file while loading it (a torn tail,
  // points of undefined series), ready to show.
  std::vector<std::string> notices;
};

// Raises the reader's errors for a file that cannot be read; a missing file reads
// as an empty one.
inline TMonitorFile ReadMonitorFile(const std::string& path) {
  TMonitorFile file;
  TSaveItNew save(nullptr);
  save.OnNotice = [&file](const TSaveNotice& notice) { file.notices.push_back(notice.text); };
  save.FileName = path;
  save.Refresh();
  file.report = save.LoadReport();
  for (const auto& object : save.Items()) {
    if (const auto* monitor = dynamic_cast<const TMonitorInfo*>(object.get())) {
      file.has_monitor_record = true;
      file.monitor_name = monitor->MonitorName;
      file.monitor_detail = monitor->MonitorDetail;
      file.patient_id = monitor->PatientId;
      file.patient_name = monitor->PatientName;
    } else if (const auto* definition = dynamic_cast<const TParameterSerie*>(object.get())) {
      const TUniqueParameterInformation& info = definition->ParameterInfo();
      TMonitorSerie serie{definition->Index,     info.ParameterName(), info.MeasurementPlace(),
                          info.ParamExtraName(), definition->Unit,     {}};
      if (definition->Serie()) {
        for (const auto& point : definition->Serie()->DataSet().Points())
          serie.points.emplace_back(point->XValue, point->YValue);
      }
      file.series.push_back(std::move(serie));
    }
  }
  return file;
}

}  // namespace collector_tools
