#include "collector/Unit1SaveFile.h"

#include <utility>

#include "datafile/QORClassIdentity.h"
#include "datamodel/SaveITNew.h"
#include "datamodel/SaveITNewItems.h"
#include "platform/dialogs.h"

namespace {

// The save component as the collector files through it.
class TSaveItNewFile : public TSaveFileAccess {
 public:
  TSaveItNewFile() : save_(nullptr) {
    save_.OnNotice = [this](const TSaveNotice& notice) { notices_.push_back(notice.text); };
  }

  void SetMinimumReservedSpaceForMonitorParameters(int32_t bytes) override {
    save_.MinimumReservedSpaceForMonitorParameters = bytes;
  }
  void SetFileName(const std::string& file_name) override { save_.FileName = file_name; }
  const std::string& FileName() const override { return save_.FileName; }

  bool OpenMonitorFile(const std::string& monitor_name, const std::string& monitor_detail,
                       const std::string& patient_id, const std::string& patient_name) override {
    bool created = false;
    save_.OnFileStructureChanged = [&created](const std::string&) { created = true; };
    try {
      Unattended(
          [&] { save_.OpenMonitorFile(monitor_name, monitor_detail, patient_id, patient_name); });
    } catch (...) {
      save_.OnFileStructureChanged = nullptr;
      throw;
    }
    save_.OnFileStructureChanged = nullptr;
    return created;
  }
  void ForgetLoadedFile() override { save_.ForgetLoadedFile(); }
  void Refresh() override {
    Unattended([&] { save_.Refresh(); });
  }

  std::vector<TSaveFileItem> Items() const override {
    std::vector<TSaveFileItem> items;
    items.reserve(save_.Items().size());
    for (const auto& object : save_.Items()) {
      TSaveFileItem item;
      if (const auto* monitor = dynamic_cast<const TMonitorInfo*>(object.get())) {
        item.kind = TSaveFileItem::Kind::kMonitorInfo;
        item.monitor_name = monitor->MonitorName;
      } else if (const auto* definition = dynamic_cast<const TParameterSerie*>(object.get())) {
        item.kind = TSaveFileItem::Kind::kParameterSerie;
        const TUniqueParameterInformation& info = definition->ParameterInfo();
        item.serie =
            TSerieDefinition{definition->Index,     info.ParameterName(), info.MeasurementPlace(),
                             info.ParamExtraName(), info.ParameterID(),   definition->Unit};
      }
      items.push_back(std::move(item));
    }
    return items;
  }

  void AddParameterSerie(int16_t index, const std::string& parameter_name,
                         const std::string& measurement_place, const std::string& param_extra_name,
                         const std::string& parameter_id, const std::string& unit) override {
    TParameterSerie definition;
    definition.Index = index;
    definition.Unit = unit;
    TUniqueParameterInformation& info = definition.ParameterInfo();
    info.SetParameterName(parameter_name);
    info.SetMeasurementPlace(measurement_place);
    info.SetParamExtraName(param_extra_name);
    info.SetParameterID(parameter_id);
    Unattended([&] { save_.AddParameterSerie(definition); });
  }

  bool AppendDataPoint(int16_t index, double time, double value) override {
    return save_.AppendDataPoint(index, time, value);
  }

  std::vector<std::string> TakeNotices() override { return std::exchange(notices_, {}); }

 private:
  // Runs Operation with no person asked anything: what the component would show in
  // a message box (a file with a checksum error) becomes a notice. A message box
  // here would run a nested event loop in which the next message's events reach
  // the walk that is filing this one.
  template <typename Operation>
  void Unattended(Operation operation) {
    platform::ScopedScriptedDialogs unattended;
    try {
      operation();
    } catch (...) {
      Collect(*unattended);
      throw;
    }
    Collect(*unattended);
  }
  void Collect(const platform::ScriptedDialogs& dialogs) {
    for (const platform::ScriptedDialogs::Question& question : dialogs.questions())
      notices_.push_back(question.text);
  }

  TSaveItNew save_;
  std::vector<std::string> notices_;
};

}  // namespace

std::unique_ptr<TSaveFileAccess> MakeSaveItNewFile() {
  return std::make_unique<TSaveItNewFile>();
}
