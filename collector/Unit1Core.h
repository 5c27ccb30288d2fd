// The main window's work that needs no toolkit: the serial receiver's messages,
// their queue, the walk over each message's record lines, patients, filing, the
// automation calls and the transfer log. TForm1 (Unit1.h) owns one and shows what
// it reports through TCollectorView; tests and the fuzz target drive it alone.
//
// Every receiver hands each completed message over as its own list of record lines
// (frame digit first, record type second) with QueueMessage; the message waits in
// the queue and is walked on its own turn (the window's processing message), so a
// message that arrives while another is walked neither mixes with it nor is lost.
//
// The walk: the data clients get the message first, each line framed and a bare
// EOT after the last (the same bytes as relaying each line before its step, but a
// relay client files the message while this collector does); then line by line
//   H  sets the delimiters, clears the names and shows the sending instrument;
//   P  ends the previous patient's section (its save file and series closed, and
//      the automation object hears that its batch is done when it was known),
//      then gives the patient id, folder and name, and creates the patient when
//      automatic creation is on;
//   O  gives the sample time and the specimen; for a known patient it opens the
//      save file and writes the transfer log entry;
//   R  gives one parameter, value and unit, filed for a known patient; the first
//      result of a patient whose P has no O of its own opens its save file (and
//      logs the transfer) with the time and specimen the message carries;
// and after the last line the last section ends as a P would end it.
//
// Failures are never silent and never shown as success. Whatever goes wrong (a
// rejected id, a patient that could not be created, a save file that would not
// open, a point not written, a walk ended by an error, a dropped message) goes to
// the error line and the transfer log, with the patient where there is one. A
// result that cannot be written (neither its series' definition nor its point) is
// lost alone: it is still handed to the automation object, the log names it with
// its value, unit and sample time so that it can be filed by hand, and the
// patient's next results and the next patient are filed as ever. A walk
// ended by an error has relayed the whole message all the same, tells the
// automation object the message is done when the patient was known, and leaves
// nothing behind for the next message. A message's results go only to the patient
// its own P record names. A value that is not a number ("....." for not measured,
// "?7.2") is not filed and not handed over; the transfer log gets the parameter with
// the text as received.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "collector/AnalyzerLink.h"
#include "collector/PatientIds.h"
#include "collector/RecordParsing.h"
#include "collector/Unit1Automation.h"
#include "collector/Unit1Filing.h"
#include "collector/Unit1SaveFile.h"
#include "collector/Unit1Settings.h"
#include "collector/Unit1TransferLog.h"
#include "platform/date_time.h"
#include "platform/resources.h"

inline constexpr platform::ResourceString SNewLogfile{"Unit1.SNewLogfile", ": New logfile"};
inline constexpr platform::ResourceString STransferring{"Unit1.STransferring", " Transferring "};
inline constexpr platform::ResourceString SToWardvorta{"Unit1.SToWardvorta", ") to Wardvorta"};
inline constexpr platform::ResourceString SCreated{"NewPatient.SCreated", "Created: "};
inline constexpr platform::ResourceString SNotCreated{"Unit1.SNotCreated", "Patient not created: "};
inline constexpr platform::ResourceString SNoSaveFile{"Unit1.SNoSaveFile",
                                                      "Results not filed, no save file opens for "};
inline constexpr platform::ResourceString SNotWritten{"Unit1.SNotWritten",
                                                      "Results not written to "};
inline constexpr platform::ResourceString SNotNumbers{"Unit1.SNotNumbers",
                                                      "Not a number, not filed for "};
inline constexpr platform::ResourceString SNoPatientRecord{
    "Unit1.SNoPatientRecord", "Results not filed: the message names no patient"};
inline constexpr platform::ResourceString SWalkFailed{"Unit1.SWalkFailed",
                                                      "Message not completely filed"};
inline constexpr platform::ResourceString SQueueFull{
    "Unit1.SQueueFull", "Message dropped: too many record lines wait to be filed"};
inline constexpr platform::ResourceString SAutomationFailed{
    "Unit1.SAutomationFailed", "Wardvorta's automation object failed; no more values go to it: "};
inline constexpr platform::ResourceString SLogNotSaved{"Unit1.SLogNotSaved",
                                                       "The transfer log could not be saved: "};

// What the core shows and sends through the window.
class TCollectorView {
 public:
  virtual ~TCollectorView() = default;
  // ACK or NAK for the analyzer on the serial line.
  virtual void SendToAnalyzer(std::string_view bytes) = 0;
  // Asks for ProcessNextMessage on the window's next turn (the processing message).
  virtual void PostProcessMessage() = 0;
  // A record line framed for the relay link, or (Framed false) a bare text.
  virtual void RelayToDataClients(const std::string& text, bool framed) = 0;
  // The sending instrument (lblABLIdentification).
  virtual void ShowSender(const std::string& identification) = 0;
  // A transfer log entry, on the status banner.
  virtual void ShowTransfer(const std::string& entry) = 0;
  // "Created: ...", on the new-patient notice.
  virtual void ShowNewPatient(const std::string& caption) = 0;
  // A failure, in the error line (red).
  virtual void ShowError(const std::string& text) = 0;
  // The transfer log's lines changed (Memo4).
  virtual void TransferLogChanged() = 0;
};

struct TCollectorOptions {
  bool auto_create = false;    // cbAutoCreate
  bool use_first_ten = false;  // cbPatientIDReductionUseFirstTen
  bool grouping = false;       // cbParameterGrouping
  TSpecimenTranslations translations;
};

// The parser's state that lives from message to message.
struct TParserState {
  char field_delimiter = '\0';
  char component_delimiter = '\0';
  std::string sender;  // lblABLIdentification's text
  std::string last_name;
  std::string first_name;
  std::string patient_id;      // as shown
  std::string patient_folder;  // DataDir + folder name + "/"
  std::string patient_name;    // from the patient file
  TSampleTimeRule sample_time;
  TSpecimen specimen;
  std::string parameter;
  std::string result_unit;
  double result_value = 0;
};

// Gasbridge's core: the link, the message queue, the walk and the filing. It runs on
// the user-interface thread only; the serial library's threads reach it only
// through the event loop.
class TCollectorCore : private TAnalyzerLinkEvents {
 public:
  // Record lines that may wait in the queue; a message beyond it is dropped.
  static constexpr size_t kMaxQueuedLines = 100000;
  // Transfer log entries that name the results of one patient's section that were
  // not written; the results beyond them are counted in the last.
  static constexpr size_t kMaxNotWrittenEntries = 20;

  TCollectorCore(TCollectorView& view, TCollectorPaths paths, TSaveFileAccess& save,
                 TAnalyzerLinkLimits limits = {});
  ~TCollectorCore() override;
  TCollectorCore(const TCollectorCore&) = delete;
  TCollectorCore& operator=(const TCollectorCore&) = delete;

  const TCollectorPaths& Paths() const { return paths_; }
  TCollectorOptions& Options() { return options_; }
  TAutomation& Automation() { return automation_; }
  TResultFiling& Filing() { return filing_; }
  const TTransferLog& Log() const { return log_; }
  const TParserState& State() const { return state_; }
  // The current local time, for tests to pin.
  void SetClock(std::function<platform::DateTime()> now) { now_ = std::move(now); }

  // The transfer log: loaded at start (a "New logfile" line when the file cannot
  // be read), emptied to a "New logfile" line on request, and entries added.
  // Entries made before the log is loaded wait and follow its lines, so that an
  // early failure never replaces the log with itself.
  void LoadTransferLog();
  // False (Error set) when the new log could not be saved.
  bool NewTransferLog(std::string* error);
  void AddLogEntry(const std::string& entry);
  // A failure: the error line, and the transfer log with the current time.
  void ReportFailure(const std::string& text);

  // Gathers the log's work for as long as it lives (one read of a receiver, one
  // walk): entries go into the lines at once, in order, but the file is saved and
  // the window told once, at the end; the same failure reported again and again
  // with nothing between becomes one entry with its count ("... (3 times)"); and
  // the error line shows the last failure at the end. A peer that sends thousands
  // of cheap faults in one read so costs one save, not thousands. Batches may nest.
  class TLogBatch {
   public:
    explicit TLogBatch(TCollectorCore& core);
    ~TLogBatch();
    TLogBatch(const TLogBatch&) = delete;
    TLogBatch& operator=(const TLogBatch&) = delete;

   private:
    TCollectorCore& core_;
  };

  // Bytes from the serial line, in order (ComPortTriggerAvail). An exception from
  // the view's SendToAnalyzer leaves here.
  void ReceiveFromAnalyzer(std::string_view bytes);
  // The data source changes: a half-received serial message is dropped, reported.
  void DataSourceChanging();

  // A completed message of any receiver: queued, and the processing message posted.
  // An empty one is ignored.
  void QueueMessage(std::vector<std::string> lines);
  size_t QueuedMessages() const { return queue_.size(); }
  // The processing message: walks the oldest queued message; false when none.
  bool ProcessNextMessage();
  // Walks one message (ProcessMessage).
  void ProcessMessage(const std::vector<std::string>& lines);

  // The patient file of a folder ("PATIENT.", found without regard to case; the
  // name the collector writes, "Patient", looked up first). A folder that cannot be
  // searched raises (platform::FindNoCaseOrRaise), which ends the walk, reported:
  // such a patient is never taken for a missing one.
  static bool PatientExists(const std::string& folder);
  static std::string ReadPatientName(const std::string& folder);
  // Writes the patient's folder and patient file; false (reported) when it cannot.
  // A patient file that is there already (made meanwhile) is kept as it is: true,
  // and nothing is announced.
  bool CreatePatient(const std::string& shown_id, const std::string& first_name,
                     const std::string& last_name, const std::string& folder);

 private:
  // TAnalyzerLinkEvents
  void SendToAnalyzer(std::string_view bytes) override;
  void MessageComplete(std::vector<std::string> lines) override;
  void LinkNotice(const TLinkNotice& notice) override;

  // What an entry keeps free for " (20000 times)" when a failure repeats.
  static constexpr size_t kRepeatCountBytes = 24;

  // The walk's steps.
  struct TWalk;
  void Header(const std::string& line);
  void Patient(const std::string& line, TWalk& walk);
  void Order(const std::string& line, TWalk& walk);
  void Result(const std::string& line, TWalk& walk);
  void EndPatientSection(TWalk& walk);
  void OpenPatientFile();
  void LogTransfer();
  void FlushReports(TWalk& walk);
  std::string PatientText() const;
  void CheckAutomation();
  void ReportSaveNotices();
  void EndLogBatch();
  TRegisteredEntries ReadRegisteredEntries() const;

  TCollectorView& view_;
  TCollectorPaths paths_;
  TCollectorOptions options_;
  TTransferLog log_;
  TAutomation automation_;
  TResultFiling filing_;
  TAnalyzerLink link_;
  TParserState state_;
  std::deque<std::vector<std::string>> queue_;
  size_t queued_lines_ = 0;
  bool walking_ = false;
  bool log_loaded_ = false;
  std::vector<std::string> early_entries_;
  // The open log batches, and what they have left to do at their end.
  int batches_ = 0;
  bool log_unsaved_ = false;
  std::string batch_error_;
  // The failure the newest log line reports and how often (0: the newest line is
  // no failure, or no batch gathers).
  std::string repeated_failure_;
  std::string repeated_entry_;
  size_t repeats_ = 0;
  bool automation_reported_ = false;
  std::function<platform::DateTime()> now_;
};
