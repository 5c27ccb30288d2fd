// Filing results: the patient's monitor-data file and the calls that hand each
// result to the main application's automation object.
//
// For each order record of a known patient the collector opens (or creates) the
// patient's save file: "ABL.vor" in the patient's folder, or, when that file cannot
// be opened as this monitor's file for this patient, the first of "ABL1.vor" to
// "ABL99.vor" that can. It keeps copies of the file's parameter-series definitions
// (SeriesList, position = series index). Each result then goes to the series of its
// parameter, place, extra name and unit, a new definition being written on first
// use, as one data point; and, whether or not it reached the file, to the
// automation object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collector/Unit1Automation.h"
#include "collector/Unit1SaveFile.h"
#include "platform/resources.h"

inline constexpr char kMonitorName[] = "Radiometer ABLxxx";

inline constexpr platform::ResourceString SAnotherMonitor{
    "Unit1.SAnotherMonitor", "The save file contains data from another monitor"};
inline constexpr platform::ResourceString SRuttenIndex{
    "Unit1.SRuttenIndex", "There is something rutten in the state of Index"};
inline constexpr platform::ResourceString STooManySeries{
    "Unit1.STooManySeries", "The save file holds as many parameter series as it can"};
inline constexpr platform::ResourceString SDefinitionNotWritten{
    "Unit1.SDefinitionNotWritten", "A series definition was not written to "};

// The patient whose results are being filed: the id as shown, the folder (ending
// in a separator) and the last name as the patient file stores it.
struct TFilingPatient {
  std::string id;
  std::string folder;
  std::string name;
};

// One result of a result record, as StoreResult takes it.
struct TResultToFile {
  std::string parameter;
  std::string place;
  std::string extra_name;
  std::string unit;
  double sample_time = 0;
  double value = 0;
};

class TResultFiling {
 public:
  TResultFiling(TSaveFileAccess& save, TAutomation& automation)
      : save_(save), automation_(automation) {}

  // A message walk starts, or a patient record ends the previous patient's
  // results: no save file is open for what follows, nor its series.
  void EndPatient() {
    save_file_open_ = false;
    series_list_.clear();
  }

  // Opens the patient's save file, "ABL" first, then "ABL1" to "ABL99". Never
  // raises: false when none of the names opened, Failure then telling why the first
  // did not.
  bool OpenPatientSaveFile(const TFilingPatient& patient, std::string* failure = nullptr);
  // Opens PatientFolder + SaveName + ".vor" and takes its definitions; raises.
  void OpenNamedSaveFile(const TFilingPatient& patient);
  // Refills SeriesList from the save component's Items, loading the file into them
  // first when Reload (ForgetLoadedFile, Refresh); raises SAnotherMonitor for a file
  // of another monitor and SRuttenIndex for definitions out of order. After the
  // check of an existing file Items already hold its head, which is all the
  // collector needs: reloading would read every point of the file only to let go
  // of them (200,000 points take 15 ms, on every order record).
  void LoadSaveFileSeries(bool reload = true);

  enum class TStored : uint8_t {
    kFiled,       // the point is on the disk
    kNoSaveFile,  // no save file is open in this walk
    kNotWritten,  // the save file is open but the point could not be written
  };
  // Files one result and hands it to the automation object: AddValueWithSource
  // (with the specimen source apart) while Grouping, else AddValue. A result whose
  // new series cannot be defined is not written, as a point that cannot be
  // appended is not: the reason goes to the notices, and the next result is tried
  // afresh (a series not defined is tried again).
  TStored StoreResult(const TResultToFile& result, const std::string& patient_id,
                      const std::string& specimen_source, bool grouping);
  // The end of a message of a known patient, for the automation object.
  void NotifyBatchDone();

  bool SaveFileOpen() const { return save_file_open_; }
  const std::string& SaveName() const { return save_name_; }
  // PatientFolder + SaveName + ".vor" of the last open.
  const std::string& SaveFileName() const { return save_file_name_; }
  const std::vector<TSerieDefinition>& SeriesList() const { return series_list_; }
  // What the save component would have shown meanwhile, then forgotten.
  std::vector<std::string> TakeNotices();

 private:
  const TSerieDefinition& NewParameterSerie(const TResultToFile& result);
  void CollectNotice();

  TSaveFileAccess& save_;
  TAutomation& automation_;
  std::string save_name_;
  std::string save_file_name_;
  std::vector<TSerieDefinition> series_list_;
  bool save_file_open_ = false;
  std::vector<std::string> notices_;
};
