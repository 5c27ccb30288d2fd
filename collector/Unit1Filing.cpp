#include "collector/Unit1Filing.h"

#include <exception>
#include <limits>

#include "collector/RecordParsing.h"
#include "collector/Unit1TransferLog.h"
#include "platform/exception.h"

bool TResultFiling::OpenPatientSaveFile(const TFilingPatient& patient, std::string* failure) {
  std::string first_failure;
  for (int i = 0; i <= 99; ++i) {
    save_name_ = i == 0 ? std::string("ABL") : "ABL" + std::to_string(i);
    try {
      OpenNamedSaveFile(patient);
      save_file_open_ = true;
      return true;
    } catch (const std::exception& error) {
      if (i == 0) first_failure = error.what();
    }
    CollectNotice();
  }
  series_list_.clear();
  save_file_open_ = false;
  if (failure) *failure = first_failure;
  return false;
}

void TResultFiling::OpenNamedSaveFile(const TFilingPatient& patient) {
  save_file_name_ = patient.folder + save_name_ + ".vor";
  save_.SetFileName(save_file_name_);
  const bool created = save_.OpenMonitorFile(kMonitorName, "", patient.id, patient.name);
  // A new file's Items are left from before: only then is the file loaded.
  LoadSaveFileSeries(created);
}

void TResultFiling::LoadSaveFileSeries(bool reload) {
  series_list_.clear();
  if (reload) {
    save_.SetFileName(save_file_name_);
    save_.ForgetLoadedFile();
    save_.Refresh();
  }
  CollectNotice();
  bool foreign = false;
  bool inconsistent = false;
  int counter = 0;
  for (const TSaveFileItem& item : save_.Items()) {
    switch (item.kind) {
      case TSaveFileItem::Kind::kMonitorInfo:
        if (item.monitor_name != kMonitorName) foreign = true;
        break;
      case TSaveFileItem::Kind::kParameterSerie:
        series_list_.push_back(item.serie);
        if (item.serie.index != counter) inconsistent = true;
        ++counter;
        break;
      case TSaveFileItem::Kind::kOther:
        break;
    }
  }
  if (foreign) throw Exception(platform::LoadResString(SAnotherMonitor));
  if (inconsistent) throw Exception(platform::LoadResString(SRuttenIndex));
}

const TSerieDefinition& TResultFiling::NewParameterSerie(const TResultToFile& result) {
  if (series_list_.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max())) {
    throw Exception(platform::LoadResString(STooManySeries));
  }
  TSerieDefinition serie;
  serie.index = static_cast<int16_t>(series_list_.size());
  // As the definition's identity keeps them, so that the next result finds it.
  serie.parameter_name = TrimBlanks(result.parameter);
  serie.measurement_place = TrimBlanks(result.place);
  serie.param_extra_name = TrimBlanks(result.extra_name);
  serie.unit = result.unit;
  save_.AddParameterSerie(serie.index, serie.parameter_name, serie.measurement_place,
                          serie.param_extra_name, serie.parameter_id, serie.unit);
  CollectNotice();
  series_list_.push_back(std::move(serie));
  return series_list_.back();
}

TResultFiling::TStored TResultFiling::StoreResult(const TResultToFile& result,
                                                  const std::string& patient_id,
                                                  const std::string& specimen_source,
                                                  bool grouping) {
  TStored stored = TStored::kNoSaveFile;
  if (save_file_open_) {
    // The definitions hold their names trimmed: compare them so.
    const std::string name = TrimBlanks(result.parameter);
    const std::string place = TrimBlanks(result.place);
    const std::string extra = TrimBlanks(result.extra_name);
    const TSerieDefinition* serie = nullptr;
    for (const TSerieDefinition& entry : series_list_) {
      if (entry.parameter_name == name && entry.measurement_place == place &&
          entry.param_extra_name == extra && entry.unit == result.unit) {
        serie = &entry;
        break;
      }
    }
    if (!serie) {
      try {
        serie = &NewParameterSerie(result);
      } catch (const std::exception& error) {
        // Only this result is lost: the file stays open for the patient's next
        // results, and the series list holds what the file holds.
        CollectNotice();
        notices_.push_back(platform::LoadResString(SDefinitionNotWritten) + save_file_name_ + " (" +
                           CutText(name, kMaxQuotedBytes) + "): " + error.what());
      }
    }
    if (serie) {
      stored = save_.AppendDataPoint(serie->index, result.sample_time, result.value)
                   ? TStored::kFiled
                   : TStored::kNotWritten;
      CollectNotice();
    } else {
      stored = TStored::kNotWritten;
    }
  }
  if (grouping) {
    automation_.AddValueWithSource(patient_id, result.parameter, specimen_source, result.unit,
                                   result.sample_time, result.value);
  } else {
    automation_.AddValue(patient_id, result.parameter, result.unit, result.sample_time,
                         result.value);
  }
  return stored;
}

void TResultFiling::NotifyBatchDone() {
  automation_.TransferDone();
}

void TResultFiling::CollectNotice() {
  for (std::string& notice : save_.TakeNotices())
    notices_.push_back(std::move(notice));
}

std::vector<std::string> TResultFiling::TakeNotices() {
  std::vector<std::string> notices = std::move(notices_);
  notices_.clear();
  return notices;
}
