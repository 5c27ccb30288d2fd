// The part of the save component (TSaveItNew, SaveIt1 on the main window) that
// the collector files through, as an interface: the window wires the component in,
// the tests an in-memory file.
//
// The operations are the component's, with one difference: a data point that
// cannot be written is reported (AppendDataPoint's result) rather than lost
// silently, so that the collector never logs a result as filed that is not on the
// disk; and what the component would have shown in a message box (a file with a
// checksum error) is handed back as a notice instead, since nothing on the filing
// path may open a window that waits for a person.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One parameter-series definition of a monitor-data file (a TParameterSerie
// without its points): the names as the file keeps them (trimmed), the unit as
// read.
struct TSerieDefinition {
  int16_t index = 0;
  std::string parameter_name;
  std::string measurement_place;
  std::string param_extra_name;
  std::string parameter_id;
  std::string unit;
  friend bool operator==(const TSerieDefinition&, const TSerieDefinition&) = default;
};

// One object of the component's Items after a Refresh: the monitor record (its
// monitor name), a series definition, or anything else.
struct TSaveFileItem {
  enum class Kind : uint8_t { kMonitorInfo, kParameterSerie, kOther };
  Kind kind = Kind::kOther;
  std::string monitor_name;  // kMonitorInfo
  TSerieDefinition serie;    // kParameterSerie
};

class TSaveFileAccess {
 public:
  virtual ~TSaveFileAccess() = default;

  // The size of a new file's reserved block for definitions (500 by default).
  virtual void SetMinimumReservedSpaceForMonitorParameters(int32_t /*bytes*/) {}

  // The file every other operation works on.
  virtual void SetFileName(const std::string& file_name) = 0;
  virtual const std::string& FileName() const = 0;
  // Creates the file as a new monitor-data file (result true), or checks that the
  // existing one is one with these four identity texts (result false; Items then
  // holds the file's head: its monitor record and its definitions); raises when it
  // is not or cannot be.
  virtual bool OpenMonitorFile(const std::string& monitor_name, const std::string& monitor_detail,
                               const std::string& patient_id, const std::string& patient_name) = 0;
  // Makes the next Refresh load the file again.
  virtual void ForgetLoadedFile() = 0;
  // Loads the file into Items when it changed since the last load; raises on a
  // file that cannot be read.
  virtual void Refresh() = 0;
  virtual std::vector<TSaveFileItem> Items() const = 0;
  // Writes one definition into the file; raises when it cannot.
  virtual void AddParameterSerie(int16_t index, const std::string& parameter_name,
                                 const std::string& measurement_place,
                                 const std::string& param_extra_name,
                                 const std::string& parameter_id, const std::string& unit) = 0;
  // Appends one data point; false when it could not be written.
  virtual bool AppendDataPoint(int16_t index, double time, double value) = 0;
  // What the operations since the last call told or would have shown the user (a
  // point not written, a torn file's tail, "<file> has a checksum error."), then
  // forgotten.
  virtual std::vector<std::string> TakeNotices() = 0;
};

// The save component (TSaveItNew) as the collector files through it. The data
// model must be registered (RegisterDataModel) before it reads a file.
std::unique_ptr<TSaveFileAccess> MakeSaveItNewFile();
