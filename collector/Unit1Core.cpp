#include "collector/Unit1Core.h"

#include <exception>
#include <utility>

#include "platform/date_time_format.h"

TCollectorCore::TCollectorCore(TCollectorView& view, TCollectorPaths paths, TSaveFileAccess& save,
                               TAnalyzerLinkLimits limits)
    : view_(view),
      paths_(std::move(paths)),
      log_(paths_.log_file),
      filing_(save, automation_),
      link_(*this, limits),
      now_(platform::Now) {}

TCollectorCore::~TCollectorCore() = default;

// ---- The transfer log ----

void TCollectorCore::LoadTransferLog() {
  repeats_ = 0;
  if (!log_.Load()) {
    log_.Reset(platform::DateTimeToStr(now_()) + platform::LoadResString(SNewLogfile));
  }
  log_loaded_ = true;
  std::vector<std::string> early = std::move(early_entries_);
  early_entries_.clear();
  for (const std::string& entry : early)
    AddLogEntry(entry);
  view_.TransferLogChanged();
}

bool TCollectorCore::NewTransferLog(std::string* error) {
  repeats_ = 0;
  log_loaded_ = true;
  log_.Reset(platform::DateTimeToStr(now_()) + platform::LoadResString(SNewLogfile));
  view_.TransferLogChanged();
  return log_.Save(error);
}

void TCollectorCore::AddLogEntry(const std::string& entry) {
  repeats_ = 0;
  if (!log_loaded_) {
    early_entries_.push_back(entry);
    return;
  }
  if (batches_ > 0) {
    log_.Append(entry);
    log_unsaved_ = true;
    return;
  }
  std::string error;
  const bool saved = log_.Add(entry, &error);
  view_.TransferLogChanged();
  // Not through ReportFailure: that would log again, and fail again.
  if (!saved) view_.ShowError(OneLine(platform::LoadResString(SLogNotSaved) + error));
}

void TCollectorCore::ReportFailure(const std::string& text) {
  if (batches_ == 0) {
    view_.ShowError(OneLine(text));
    AddLogEntry(platform::DateTimeToStr(now_()) + ": " + text);
    return;
  }
  if (repeats_ > 0 && text == repeated_failure_) {
    ++repeats_;
    const std::string count = " (" + std::to_string(repeats_) + " times)";
    log_.ReplaceLast(repeated_entry_ + count);
    log_unsaved_ = true;
    batch_error_ = text + count;
    return;
  }
  batch_error_ = text;
  std::string entry = platform::DateTimeToStr(now_()) + ": " + text;
  AddLogEntry(entry);
  if (!log_loaded_) return;
  // Cut before the count goes on, so that a long entry still shows its count.
  repeated_entry_ = CutText(entry, TTransferLog::kMaxEntryBytes - kRepeatCountBytes);
  repeated_failure_ = text;
  repeats_ = 1;
}

TCollectorCore::TLogBatch::TLogBatch(TCollectorCore& core) : core_(core) {
  ++core_.batches_;
}

TCollectorCore::TLogBatch::~TLogBatch() {
  if (--core_.batches_ == 0) core_.EndLogBatch();
}

void TCollectorCore::EndLogBatch() {
  repeats_ = 0;
  const std::string failure = std::exchange(batch_error_, {});
  const bool unsaved = std::exchange(log_unsaved_, false);
  try {
    if (!failure.empty()) view_.ShowError(OneLine(failure));
    if (!unsaved) return;
    std::string error;
    const bool saved = log_.Save(&error);
    view_.TransferLogChanged();
    if (!saved) view_.ShowError(OneLine(platform::LoadResString(SLogNotSaved) + error));
  } catch (const std::exception&) {
    // Within a destructor: the window's own failures have been shown already.
  }
}

// ---- Receiving ----

void TCollectorCore::ReceiveFromAnalyzer(std::string_view bytes) {
  const TLogBatch batch(*this);
  link_.Receive(bytes);
}

void TCollectorCore::DataSourceChanging() {
  const TLogBatch batch(*this);
  link_.DropHalfMessage();
}

void TCollectorCore::SendToAnalyzer(std::string_view bytes) {
  view_.SendToAnalyzer(bytes);
}

void TCollectorCore::MessageComplete(std::vector<std::string> lines) {
  QueueMessage(std::move(lines));
}

void TCollectorCore::LinkNotice(const TLinkNotice& notice) {
  ReportFailure(notice.text);
}

void TCollectorCore::QueueMessage(std::vector<std::string> lines) {
  // An empty message (some senders close every message with another ENQ, EOT) has
  // nothing to file or relay.
  if (lines.empty()) return;
  if (queued_lines_ + lines.size() > kMaxQueuedLines) {
    ReportFailure(platform::LoadResString(SQueueFull));
    return;
  }
  queued_lines_ += lines.size();
  queue_.push_back(std::move(lines));
  view_.PostProcessMessage();
}

bool TCollectorCore::ProcessNextMessage() {
  if (walking_) {
    // Asked from within a walk: its turn comes when this one has ended.
    view_.PostProcessMessage();
    return false;
  }
  if (queue_.empty()) return false;
  std::vector<std::string> lines = std::move(queue_.front());
  queue_.pop_front();
  queued_lines_ -= lines.size();
  ProcessMessage(lines);
  return true;
}

// ---- Reports ----

void TCollectorCore::CheckAutomation() {
  if (automation_reported_ || automation_.AutomationOK() || !automation_.AutoObject()) return;
  automation_reported_ = true;
  ReportFailure(platform::LoadResString(SAutomationFailed) + automation_.LastFailure());
}

void TCollectorCore::ReportSaveNotices() {
  for (const std::string& notice : filing_.TakeNotices())
    ReportFailure(notice);
}

std::string TCollectorCore::PatientText() const {
  return state_.patient_name + " (" + state_.patient_id + ")";
}

void TCollectorCore::LogTransfer() {
  const std::string entry = platform::DateTimeToStr(state_.sample_time.SampleTime()) +
                            platform::LoadResString(STransferring) + state_.patient_name + " (" +
                            state_.patient_id + platform::LoadResString(SToWardvorta);
  AddLogEntry(entry);
  view_.ShowTransfer(OneLine(entry));
}
