// An in-memory stand-in for the save component, with the rules the collector relies
// on: a new file gets the four identity texts, an existing one must match them
// exactly; definitions are kept in file order; points are appended. Tests break it
// on purpose with the failure switches.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "collector/Unit1SaveFile.h"
#include "platform/exception.h"

struct TFakePoint {
  int16_t index = 0;
  double time = 0;
  double value = 0;
  friend bool operator==(const TFakePoint&, const TFakePoint&) = default;
};

struct TFakeFile {
  std::string monitor_name, monitor_detail, patient_id, patient_name;
  std::vector<TSerieDefinition> definitions;
  std::vector<TFakePoint> points;
};

class TFakeSaveFile : public TSaveFileAccess {
 public:
  std::map<std::string, TFakeFile> files;
  // Failure switches.
  bool fail_open = false;         // OpenMonitorFile raises for every file
  bool fail_definitions = false;  // AddParameterSerie raises
  bool fail_points = false;       // AppendDataPoint cannot write
  std::string notice;             // handed out once by TakeNotices
  // When set, the failure switches hit only the files whose names start with it.
  std::string failing_prefix;
  int refreshes = 0;

  void SetFileName(const std::string& file_name) override { file_name_ = file_name; }
  const std::string& FileName() const override { return file_name_; }

  bool OpenMonitorFile(const std::string& monitor_name, const std::string& monitor_detail,
                       const std::string& patient_id, const std::string& patient_name) override {
    if (Failing(fail_open))
      throw Exception("Cannot open file \"" + file_name_ + "\". Permission denied");
    auto it = files.find(file_name_);
    if (it == files.end()) {
      files[file_name_] = TFakeFile{monitor_name, monitor_detail, patient_id, patient_name, {}, {}};
      return true;
    }
    // The check leaves the file's head in Items, as the component's does.
    Refresh();
    const TFakeFile& file = it->second;
    if (file.monitor_name != monitor_name || file.monitor_detail != monitor_detail ||
        file.patient_id != patient_id || file.patient_name != patient_name) {
      throw Exception("Exception:The existing file does not match!");
    }
    return false;
  }

  void ForgetLoadedFile() override {}
  void Refresh() override {
    ++refreshes;
    items_.clear();
    auto it = files.find(file_name_);
    if (it == files.end()) return;
    TSaveFileItem monitor;
    monitor.kind = TSaveFileItem::Kind::kMonitorInfo;
    monitor.monitor_name = it->second.monitor_name;
    items_.push_back(monitor);
    for (const TSerieDefinition& definition : it->second.definitions) {
      TSaveFileItem item;
      item.kind = TSaveFileItem::Kind::kParameterSerie;
      item.serie = definition;
      items_.push_back(item);
    }
  }
  std::vector<TSaveFileItem> Items() const override { return items_; }

  void AddParameterSerie(int16_t index, const std::string& parameter_name,
                         const std::string& measurement_place, const std::string& param_extra_name,
                         const std::string& parameter_id, const std::string& unit) override {
    if (Failing(fail_definitions))
      throw Exception("Cannot create file \"" + file_name_ + "\". Disk full");
    files.at(file_name_)
        .definitions.push_back(TSerieDefinition{index, parameter_name, measurement_place,
                                                param_extra_name, parameter_id, unit});
  }

  bool AppendDataPoint(int16_t index, double time, double value) override {
    if (Failing(fail_points)) return false;
    files[file_name_].points.push_back(TFakePoint{index, time, value});
    return true;
  }

  std::vector<std::string> TakeNotices() override {
    std::vector<std::string> taken;
    if (!notice.empty()) taken.push_back(std::move(notice));
    notice.clear();
    return taken;
  }

 private:
  bool Failing(bool failure_switch) const {
    return failure_switch && file_name_.starts_with(failing_prefix);
  }

  std::string file_name_;
  std::vector<TSaveFileItem> items_;
};
