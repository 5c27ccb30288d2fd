// TCollectorCore's walk over one message: ProcessMessage and its record handlers,
// patients and their files.
#include <exception>
#include <optional>
#include <span>

#include "collector/Unit1Core.h"
#include "datafile/QORFunc.h"
#include "platform/date_time_format.h"
#include "platform/file_ends.h"
#include "platform/files.h"
#include "platform/format_text.h"
#include "platform/ini_file.h"

// What one walk keeps to itself.
struct TCollectorCore::TWalk {
  bool patient_known = false;  // PatientKnown, of the patient section being walked
  bool patient_seen = false;   // the message has a P record
  bool patient_named = false;  // its last P record named a usable patient
  // The section's patient has had no O record of its own yet: its file opens at
  // its first result.
  bool open_at_result = false;
  bool reported_no_patient = false;
  // Reported together: results not numbers (parameter "text"), and results not
  // written (parameter, value, unit and sample time, for whoever files them by hand).
  std::vector<std::string> not_numbers;
  std::vector<std::string> not_written;
  std::string not_written_file;
};

namespace {

// Marks the core busy with a walk for as long as the walk runs, however it ends.
class TWalking {
 public:
  explicit TWalking(bool& walking) : walking_(walking) { walking_ = true; }
  ~TWalking() { walking_ = false; }
  TWalking(const TWalking&) = delete;
  TWalking& operator=(const TWalking&) = delete;

 private:
  bool& walking_;
};

}  // namespace

void TCollectorCore::ProcessMessage(const std::vector<std::string>& lines) {
  TWalking walking(walking_);
  // The data clients get every line, and the EOT after them, before anything is
  // filed here: what goes over the link is the same as relaying each line before
  // its step (nothing else is sent meanwhile, and a walk that fails still relays the
  // whole message), but a relay client files the message while this collector
  // does, not after it.
  try {
    for (const std::string& line : lines)
      view_.RelayToDataClients(line, true);
    view_.RelayToDataClients(std::string(1, astm::kEOT), false);
  } catch (const std::exception&) {
    // Sending to data clients reports nothing; a client that went away is dropped
    // by its own disconnection.
  }
  TWalk walk;
  filing_.EndPatient();
  state_.sample_time.BeginMessage();
  {
    // One save of the transfer log for the whole message, made before the
    // automation object hears that the message is done, so that what it was
    // told is in the log file by then.
    const TLogBatch batch(*this);
    std::string failure;
    try {
      for (const std::string& line : lines) {
        if (line.size() < 2) continue;
        switch (line[1]) {
          case 'H':
            Header(line);
            break;
          case 'P':
            Patient(line, walk);
            break;
          case 'O':
            Order(line, walk);
            break;
          case 'R':
            Result(line, walk);
            break;
          default:
            break;
        }
      }
    } catch (const std::exception& error) {
      failure = platform::LoadResString(SWalkFailed);
      if (walk.patient_named) failure += " (" + PatientText() + ")";
      failure += ": ";
      failure += error.what();
    }
    ReportSaveNotices();
    FlushReports(walk);
    if (!failure.empty()) ReportFailure(failure);
  }
  EndPatientSection(walk);
  CheckAutomation();
}

void TCollectorCore::Header(const std::string& line) {
  state_.sample_time.OnHeader();
  const THeaderDelimiters delimiters = ReadHeaderDelimiters(line);
  state_.field_delimiter = delimiters.field;
  state_.component_delimiter = delimiters.component;
  state_.last_name.clear();
  state_.first_name.clear();
  state_.sender = SenderIdentification(line, state_.field_delimiter, state_.component_delimiter);
  view_.ShowSender(state_.sender);
}

TRegisteredEntries TCollectorCore::ReadRegisteredEntries() const {
  const platform::TIniFile ini(paths_.ini_file);
  TRegisteredEntries entries;
  for (int i = 0; i < 3; ++i)
    entries[i] = ini.ReadString("Registered", std::to_string(i + 1), "");
  return entries;
}

void TCollectorCore::EndPatientSection(TWalk& walk) {
  // Why results were lost, then which they were: both before the next patient's.
  ReportSaveNotices();
  FlushReports(walk);
  filing_.EndPatient();
  if (walk.patient_known) filing_.NotifyBatchDone();
  walk.patient_known = false;
  walk.patient_named = false;
  walk.open_at_result = false;
}

void TCollectorCore::Patient(const std::string& line, TWalk& walk) {
  // Every P record begins a patient of its own: what was open for the one before
  // (its file, its series, its batch) is done with before anything of this one.
  EndPatientSection(walk);
  const char fd = state_.field_delimiter;
  const char cd = state_.component_delimiter;
  walk.patient_seen = true;

  const std::string id_field = GetPiece(4, line, fd);
  const std::string id = RemoveIdPunctuation(id_field);
  TRegisteredEntries registered;
  if (id == "1" || id == "2" || id == "3") registered = ReadRegisteredEntries();
  const TPatientIdentity identity = ResolvePatientId(id_field, options_.use_first_ten, registered);
  for (const std::string& notice : identity.notices)
    ReportFailure(notice);

  const std::string name = GetPiece(6, line, fd);
  state_.last_name = GetPiece(1, name, cd);
  state_.first_name = GetPiece(2, name, cd);
  if (!identity.accepted) {
    // Nothing of this message may reach another patient's file.
    state_.patient_id.clear();
    state_.patient_folder.clear();
    state_.patient_name.clear();
    return;
  }
  state_.patient_folder = PatientFolderPath(paths_.data_dir, identity.folder_name);
  state_.patient_id = identity.shown_id;
  // Read again when its file opens; until then no report names the one before.
  state_.patient_name.clear();
  walk.patient_named = true;
  walk.open_at_result = true;
  walk.patient_known = PatientExists(state_.patient_folder);
  if (!walk.patient_known && options_.auto_create &&
      CreatePatient(state_.patient_id, state_.first_name, state_.last_name,
                    state_.patient_folder)) {
    walk.patient_known = PatientExists(state_.patient_folder);
  }
}

void TCollectorCore::Order(const std::string& line, TWalk& walk) {
  FlushReports(walk);
  const char fd = state_.field_delimiter;
  state_.sample_time.OnOrder(GetPiece(8, line, fd), now_());
  state_.specimen =
      ReadSpecimen(GetPiece(16, line, fd), state_.component_delimiter, options_.translations);
  walk.patient_known = walk.patient_named && PatientExists(state_.patient_folder);
  walk.open_at_result = false;
  if (walk.patient_known) OpenPatientFile();
}

void TCollectorCore::OpenPatientFile() {
  state_.patient_name = ReadPatientName(state_.patient_folder);
  const TFilingPatient patient{state_.patient_id, state_.patient_folder, state_.patient_name};
  std::string failure;
  if (filing_.OpenPatientSaveFile(patient, &failure)) {
    LogTransfer();
  } else {
    ReportFailure(platform::LoadResString(SNoSaveFile) + PatientText() + ": " + failure);
  }
  ReportSaveNotices();
}

void TCollectorCore::Result(const std::string& line, TWalk& walk) {
  const char fd = state_.field_delimiter;
  const char cd = state_.component_delimiter;
  state_.parameter =
      ResultParameter(GetPiece(3, line, fd), cd, state_.specimen.source, options_.grouping);
  const std::string value_text = GetPiece(4, line, fd);
  const std::optional<double> value = StrToValue(value_text, platform::DecimalSeparator());
  state_.result_value = value.value_or(0);
  state_.result_unit = GetPiece(5, line, fd);
  const platform::DateTime sample_time =
      state_.sample_time.OnResult(GetPiece(12, line, fd), now_());

  if (!walk.patient_seen) {
    if (!walk.reported_no_patient) ReportFailure(platform::LoadResString(SNoPatientRecord));
    walk.reported_no_patient = true;
    return;
  }
  if (!walk.patient_known) return;
  if (walk.open_at_result) {
    // A patient without an O record of its own: its results take the sample time
    // and specimen the message carries, into its own file.
    walk.open_at_result = false;
    OpenPatientFile();
  }
  if (!value) {
    // Bounded each, so that one long text leaves room in the entry for the others.
    walk.not_numbers.push_back(CutText(state_.parameter, kMaxQuotedBytes) + " \"" +
                               CutText(value_text, kMaxQuotedBytes) + "\"");
    return;
  }
  const TResultToFile result{
      state_.parameter, options_.grouping ? state_.specimen.source : std::string(),
      std::string(),    state_.result_unit,
      sample_time,      *value};
  const TResultFiling::TStored stored =
      filing_.StoreResult(result, state_.patient_id, state_.specimen.source, options_.grouping);
  if (stored == TResultFiling::TStored::kNotWritten) {
    std::string text =
        CutText(state_.parameter, kMaxQuotedBytes) + " " + platform::FloatToStr(*value);
    if (!state_.result_unit.empty()) text += " " + CutText(state_.result_unit, kMaxQuotedBytes);
    walk.not_written.push_back(text + " at " + platform::DateTimeToStr(sample_time));
    walk.not_written_file = filing_.SaveFileName();
  }
}

void TCollectorCore::FlushReports(TWalk& walk) {
  const std::string stamp = platform::DateTimeToStr(now_()) + ": ";
  if (!walk.not_numbers.empty()) {
    // One entry: what was not measured needs no more than its count past the bound.
    for (const std::string& entry :
         ListInEntries(stamp + platform::LoadResString(SNotNumbers) + PatientText() + ": ",
                       walk.not_numbers, TTransferLog::kMaxEntryBytes, 1)) {
      AddLogEntry(entry);
    }
    walk.not_numbers.clear();
  }
  if (!walk.not_written.empty()) {
    // Each result is named whole, so that it can be filed by hand, in entries
    // that leave ReportFailure room for the time in front and a count of repeats;
    // past kMaxNotWrittenEntries the rest are counted, lest they push the log's
    // older lines out.
    const size_t bytes = TTransferLog::kMaxEntryBytes - kRepeatCountBytes - stamp.size();
    for (const std::string& entry :
         ListInEntries(platform::LoadResString(SNotWritten) + walk.not_written_file + " (" +
                           PatientText() + "): ",
                       walk.not_written, bytes, kMaxNotWrittenEntries)) {
      ReportFailure(entry);
    }
    walk.not_written.clear();
  }
}

bool TCollectorCore::PatientExists(const std::string& folder) {
  if (folder.empty()) return false;
  // A patient whose file cannot be looked for is not missing: creating it would
  // write over the main application's file.
  const std::optional<std::string> file =
      platform::FindNoCaseOrRaise(folder, "PATIENT.", kPatientFileName);
  return file && platform::FileExists(*file);
}

std::string TCollectorCore::ReadPatientName(const std::string& folder) {
  const std::optional<std::string> file =
      platform::FindNoCaseOrRaise(folder, "PATIENT.", kPatientFileName);
  if (!file) return "";
  const std::optional<std::string> head = platform::ReadFileHead(*file, kPatientNameReadBytes);
  if (!head) return "";
  return PatientNameFromFile(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(head->data()), head->size()));
}

bool TCollectorCore::CreatePatient(const std::string& shown_id, const std::string& first_name,
                                   const std::string& last_name, const std::string& folder) {
  const std::string who = shown_id + " (" + first_name + " " + last_name + ") - " + folder;
  try {
    if (!ForceDirectory(folder)) throw Exception("Exception: Could not create directory");
    const std::vector<uint8_t> bytes = BuildPatientFile(shown_id, first_name, last_name);
    if (!WritePatientFile(folder, bytes)) return true;  // another made it meanwhile
  } catch (const std::exception& error) {
    ReportFailure(platform::LoadResString(SNotCreated) + who + ": " + error.what());
    return false;
  }
  view_.ShowNewPatient(OneLine(platform::LoadResString(SCreated) + who));
  return true;
}
