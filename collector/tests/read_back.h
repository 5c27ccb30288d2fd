// Reads a monitor-data file back with a save component of its own, for tests that
// check what the collector filed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datamodel/PointsU.h"
#include "datamodel/SaveITNew.h"
#include "datamodel/Series_C.h"

namespace collector_test {

struct TReadSerie {
  int16_t index;
  std::string name, place, extra, unit;
  std::vector<std::pair<double, double>> points;  // time, value
};

struct TReadFile {
  std::string monitor_name, monitor_detail, patient_id, patient_name;
  std::vector<TReadSerie> series;
};

inline TReadFile ReadBack(const std::string& path) {
  TSaveItNew save(nullptr);
  save.FileName = path;
  save.Refresh();
  TReadFile file;
  for (const auto& object : save.Items()) {
    if (const auto* monitor = dynamic_cast<const TMonitorInfo*>(object.get())) {
      file.monitor_name = monitor->MonitorName;
      file.monitor_detail = monitor->MonitorDetail;
      file.patient_id = monitor->PatientId;
      file.patient_name = monitor->PatientName;
    } else if (const auto* definition = dynamic_cast<const TParameterSerie*>(object.get())) {
      TReadSerie serie{definition->Index,
                       definition->ParameterInfo().ParameterName(),
                       definition->ParameterInfo().MeasurementPlace(),
                       definition->ParameterInfo().ParamExtraName(),
                       definition->Unit,
                       {}};
      if (definition->Serie()) {
        for (const auto& point : definition->Serie()->DataSet().Points())
          serie.points.emplace_back(point->XValue, point->YValue);
      }
      file.series.push_back(std::move(serie));
    }
  }
  return file;
}

}  // namespace collector_test
