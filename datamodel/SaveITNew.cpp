#include "datamodel/SaveITNew.h"

#include <algorithm>
#include <cstring>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassWriter.h"
#include "datamodel/Axis.h"
#include "datamodel/DataModel.h"
#include "datamodel/RecordTags.h"
#include "datamodel/SaveITNewFile.h"
#include "datamodel/Series_C.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/format_text.h"

namespace {

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

[[noreturn]] void Corrupted() {
  throw Exception("Exception:The file has been corrupted.");
}

// The end of the last whole record of File, a whole plain data file in memory;
// its size when it is no such file.
save_file::WalkResult WalkWholeFile(const platform::MemoryStream& file,
                                    std::vector<int32_t>* points_of_index = nullptr) {
  const int64_t first = save_file::FirstRecordOffset(file.Memory(), file.Size());
  if (first < 0) return {file.Size(), false};
  return save_file::WalkRecords(file.Memory(), file.Size(), first, points_of_index);
}

}  // namespace

TSaveItNew::TSaveItNew(TComponent* owner)
    : TComponent(owner),
      reader_(std::make_unique<TVistaReader>()),
      writer_(std::make_unique<TVistaWriter>()) {
  // The loader makes its objects through the registries, which must be filled.
  RegisterDataModel();
}

TSaveItNew::~TSaveItNew() {
  Clear();
}

void TSaveItNew::ComponentRemoved(const TComponent* component) {
  if (component && component == categorization_pool_) categorization_pool_ = nullptr;
}

// ---------------------------------------------------------------------------
// Notices

void TSaveItNew::Notify(TSaveNotice::Kind kind, int64_t count, std::string text) {
  if (!OnNotice) return;
  OnNotice(TSaveNotice{kind, FileName, count, std::move(text)});
}

void TSaveItNew::NotifyLoadReport() {
  if (load_report_.torn_tail_bytes > 0) {
    Notify(TSaveNotice::Kind::kTornTail, load_report_.torn_tail_bytes,
           platform::Format(platform::LoadResString(STornTailLeftOut),
                            {FileName, load_report_.torn_tail_bytes}));
  }
  if (load_report_.undefined_points > 0) {
    Notify(TSaveNotice::Kind::kUndefinedPoints, load_report_.undefined_points,
           platform::Format(platform::LoadResString(SUndefinedPoints),
                            {FileName, load_report_.undefined_points}));
  }
}

// ---------------------------------------------------------------------------
// Items and the loaded-file record

// What a load uses only while it runs, emptied when it ends, however it ends. The
// buffer keeps its memory and its size for the next file: the stream clears only
// the bytes it grows by, and a read fills them all anyway.
class TSaveItNew::LoadScope {
 public:
  explicit LoadScope(TSaveItNew& save) : save_(save) { save_.points_of_index_.clear(); }
  ~LoadScope() {
    save_.definition_at_.clear();
    save_.points_of_index_.clear();
  }
  LoadScope(const LoadScope&) = delete;
  LoadScope& operator=(const LoadScope&) = delete;

 private:
  TSaveItNew& save_;
};

void TSaveItNew::ForgetLoadedFile() {
  loaded_file_name_.clear();
  loaded_file_date_ = 0;
  loaded_stamp_ = platform::FileStamp();
}

void TSaveItNew::Clear() {
  // Series leave their axes when freed and axes tell their series when they go, so
  // the order does not matter; the video series is one of the items.
  video_serie_ = nullptr;
  video_data_set_ = TDataSetRef();
  horizontal_axes_.clear();
  vertical_axes_.clear();
  definition_at_.clear();
  items_.clear();
  file_type_ = ftUnknown;
  file_attribute_ = 0;
  file_patient_id_.clear();
  file_patient_name_.clear();
}

bool TSaveItNew::Parse(platform::MemoryStream& buffer, TRecordHandler handler) {
  struct Current {
    platform::MemoryStream*& buffer;
    ~Current() { buffer = nullptr; }
  } current{parse_buffer_};
  parse_buffer_ = &buffer;
  buffer.SetPosition(0);
  return reader_->Read(buffer, handler, this);
}

bool TSaveItNew::IsFileVersionAtLeast(int32_t major, int32_t minor) const {
  const int32_t file_major = reader_->MajorVersion();
  return file_major > major || (file_major == major && reader_->MinorVersion() >= minor);
}

bool TSaveItNew::IsFileVersionBelow(int32_t major, int32_t minor) const {
  return !IsFileVersionAtLeast(major, minor);
}

platform::FileStamp TSaveItNew::LoadFile(platform::MemoryStream& buffer) const {
  platform::OpenedFile file(FileName, platform::OpenedFile::Mode::kRead);
  // The stamp of the open file, taken before its bytes are read: a writer that
  // appends meanwhile adds bytes past what is read and leaves the stamp true to it.
  const platform::FileStamp stamp = file.Stamp();
  buffer.SetSize(stamp.size);
  file.ReadAt(0, buffer.Memory(), stamp.size);
  buffer.SetPosition(0);
  return stamp;
}

void TSaveItNew::Refresh() {
  if (!platform::EntryExists(FileName)) {
    ForgetLoadedFile();
    Clear();
    return;
  }
  const std::optional<platform::FileStamp> stamp = platform::GetFileStamp(FileName);
  if (!stamp) ForgetLoadedFile();
  items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end());
  if (FileName != loaded_file_name_ || !stamp || *stamp != loaded_stamp_ || items_.empty() ||
      loaded_file_name_.empty()) {
    ForgetLoadedFile();
    Clear();
    LoadItems();
  }
}

void TSaveItNew::LoadItems() {
  load_report_ = TLoadReport();
  LoadScope scope(*this);
  platform::MemoryStream& buffer = load_buffer_;
  const platform::FileStamp stamp = LoadFile(buffer);
  // Every whole record is loaded; an incomplete last record is left out (and cut off
  // the file by the next append).
  const save_file::WalkResult walk = WalkWholeFile(buffer, &points_of_index_);
  LearnEnd(stamp, walk.whole_end);
  if (walk.torn) {
    load_report_.torn_tail_bytes = buffer.Size() - walk.whole_end;
    buffer.SetSize(walk.whole_end);
  }
  const bool checksums_ok = Parse(buffer, &TSaveItNew::ReadAnyRecord);
  // A result filed late stands after later ones in the file; every series reads
  // back in time order all the same.
  for (const auto& item : items_) {
    TSerieObject* serie = dynamic_cast<TSerieObject*>(item.get());
    if (auto* definition = dynamic_cast<TParameterSerie*>(item.get())) serie = definition->Serie();
    if (serie) serie->DataSet().EnsureSorted();
  }
  loaded_file_name_ = FileName;
  loaded_file_date_ = platform::FileDateOf(stamp);
  loaded_stamp_ = stamp;
  if (!checksums_ok) {
    load_report_.checksum_error = true;
    platform::ShowMessage(FileName + platform::LoadResString(SChecksumError));
  }
  NotifyLoadReport();
}

// ---------------------------------------------------------------------------
// Creating and checking

void TSaveItNew::LoadHead() {
  LoadScope scope(*this);
  FlagGuard header_only(header_only_);
  platform::MemoryStream& file = load_buffer_;
  platform::OpenedFile opened(FileName, platform::OpenedFile::Mode::kRead);
  const platform::FileStamp stamp = opened.Stamp();
  // The load stops at the reserved block, near the start of the file: the start is
  // read first, and the whole file only when the records before the block reach
  // beyond it (or it is no monitor-data file).
  constexpr int64_t kHeadBytes = 64 * 1024;
  if (stamp.size > kHeadBytes) {
    file.SetSize(kHeadBytes);
    opened.ReadAt(0, file.Memory(), kHeadBytes);
    try {
      Parse(file, &TSaveItNew::ReadAnyRecord);
      if (reader_->Stopped()) return;
    } catch (const Exception&) {
      // Records cut off by the end of what was read: the whole file decides.
    }
    Clear();
  }
  file.SetSize(stamp.size);
  opened.ReadAt(0, file.Memory(), stamp.size);
  const save_file::WalkResult walk = WalkWholeFile(file);
  LearnEnd(stamp, walk.whole_end);
  file.SetSize(walk.whole_end);
  Parse(file, &TSaveItNew::ReadAnyRecord);
}

void TSaveItNew::OpenMonitorFile(const std::string& monitor_name, const std::string& monitor_detail,
                                 const std::string& patient_id, const std::string& patient_name) {
  file_type_ = ftMonitorData;
  file_attribute_ = 0;
  if (!platform::EntryExists(FileName)) {
    platform::MemoryStream file;
    writer_->SetUseChecksums(false);
    writer_->SetStream(&file);
    writer_->WriteHeader();
    writer_->BeginFolding(record_tag::kFileInfo);
    writer_->WriteIntegerField(record_tag::kFileType, file_type_);
    writer_->WriteIntegerField(record_tag::kFileAttribute, file_attribute_);
    // A new patient's file carries no patient of an earlier load: the file-info
    // record's patient fields are written only when set, and they are not set here.
    writer_->EndFolding();
    writer_->BeginFolding(record_tag::kMonitorRecord);
    writer_->WriteStringField(record_tag::kMonitorName, monitor_name);
    writer_->WriteStringField(record_tag::kMonitorDetail, monitor_detail);
    writer_->WriteStringField(record_tag::kPatientId, patient_id);
    writer_->WriteStringField(record_tag::kPatientName, patient_name);
    writer_->EndFolding();
    const int32_t reserved = std::max(0, MinimumReservedSpaceForMonitorParameters);
    writer_->WriteFieldHeader(record_tag::kMonitorReservedBlock, reserved);
    const std::vector<uint8_t> zeros(static_cast<size_t>(reserved), 0);
    writer_->WriteBuffer(zeros.data(), reserved);
    writer_->FinishFile();
    writer_->SetStream(nullptr);
    // The file appears whole or not at all, and never in place of a file that
    // another process created since the test above: that one is checked instead.
    if (platform::CreateFileExclusively(FileName, file.Memory(),
                                        static_cast<size_t>(file.Size()))) {
      const std::optional<platform::FileStamp> stamp = platform::GetFileStamp(FileName);
      if (stamp && stamp->size == file.Size()) LearnEnd(*stamp, file.Size());
      if (OnFileStructureChanged) OnFileStructureChanged(FileName);
      return;
    }
  }

  Clear();
  LoadHead();
  if (file_type_ != ftMonitorData) throw Exception("Exception:Incorrect filetype");
  bool found = false;
  for (const auto& item : items_) {
    const auto* info = dynamic_cast<const TMonitorInfo*>(item.get());
    if (!info) continue;
    if (info->MonitorName != monitor_name || info->MonitorDetail != monitor_detail ||
        info->PatientId != patient_id || info->PatientName != patient_name)
      throw Exception("Exception:The existing file does not match!");
    found = true;
  }
  if (!found) throw Exception("Exception:No MonitorInfo!");
}

// ---------------------------------------------------------------------------
// Definitions

void TSaveItNew::ReadHeaderRecord(void* self, int32_t tag, TVistaReader& reader) {
  auto& component = *static_cast<TSaveItNew*>(self);
  const int32_t top = reader.FoldingMode() ? 1 : 0;
  if (tag == record_tag::kMonitorReservedBlock) {
    reader.Stop();
  } else if (tag == record_tag::kMonitorRecord && reader.Depth() == top) {
    reader.BeginFolding(tag);
  } else if (tag == record_tag::kFileAttribute && reader.Depth() == top) {
    component.file_attribute_ = static_cast<uint8_t>(reader.ReadIntegerField());
  } else {
    reader.SkipField();
  }
}

void TSaveItNew::AddParameterSerie(const TParameterSerie& definition) {
  // The definition record R.
  platform::MemoryStream record;
  writer_->SetUseChecksums(false);
  writer_->SetStream(&record);
  writer_->BeginFolding(record_tag::kParameterDefinition);
  writer_->WriteIntegerField(record_tag::kDefinitionIndex, static_cast<uint16_t>(definition.Index));
  const TUniqueParameterInformation& info = definition.ParameterInfo();
  writer_->WriteStringField(record_tag::kDefinitionParameterName, info.ParameterName());
  writer_->WriteStringField(record_tag::kDefinitionMeasurementPlace, info.MeasurementPlace());
  writer_->WriteStringField(record_tag::kDefinitionParamExtraName, info.ParamExtraName());
  writer_->WriteStringField(record_tag::kDefinitionUnit, definition.Unit);
  writer_->WriteStringField(record_tag::kDefinitionParameterID, info.ParameterID());
  writer_->EndFolding();
  writer_->SetStream(nullptr);
  const int64_t s = record.Size();

  // The file is held under the writers' lock from reading to replacing, so that no
  // append lands in the old file while the new one is made from it.
  platform::OpenedFile locked(FileName, platform::OpenedFile::Mode::kWriteLocked);
  const platform::FileStamp stamp = locked.Stamp();
  // The new file is made in the loads' buffer, whose memory is ready from the last
  // load.
  platform::MemoryStream& file = load_buffer_;
  locked.ReadWhole([&file](int64_t size) {
    file.SetSize(size);
    return file.Memory();
  });
  file.SetPosition(0);
  reader_->Read(file, &TSaveItNew::ReadHeaderRecord, this);
  if (!reader_->Stopped()) throw Exception("Exception:No reserved block!");
  const int64_t p = file.Position() - 4;
  const int64_t l = reader_->ReadSize();
  const int64_t block_end = file.Position() + l;
  // The block's size comes from the file: it must lie within it.
  if (l < 0 || block_end > file.Size()) Corrupted();

  // An incomplete last record (a torn append) is not carried into the new file. The
  // end of its last whole record is known without a walk while the file is as this
  // component last read or wrote it.
  int64_t walked_end = file.Size();
  if (!reader_->FoldingMode()) {
    const KnownEnd& known = known_end_;
    walked_end = known.file_name == FileName && known.stamp == stamp && stamp.size == file.Size() &&
                         known.whole_end <= file.Size()
                     ? known.whole_end
                     : WalkWholeFile(file).whole_end;
  }
  const int64_t whole_end = std::max(walked_end, block_end);
  const int64_t torn = file.Size() - whole_end;

  const auto write_at = [&file](int64_t position, const void* data, int64_t count) {
    file.SetPosition(position);
    file.WriteBuffer(data, count);
  };
  const auto write_block_header = [&](int64_t position, int32_t size) {
    const int32_t header[2] = {record_tag::kMonitorReservedBlock, size};
    write_at(position, header, sizeof header);
  };
  if (l > s) {
    // In place: R, then the rest of the old block as the new block.
    file.SetSize(whole_end);
    write_at(p, record.Memory(), s);
    write_block_header(p + s, static_cast<int32_t>(l - s));
  } else {
    // Grown: at least as large as everything before it, so growth stays rare. The
    // data points move up behind the new block, in order; the block is zeros.
    const int64_t n = std::max<int64_t>(MinimumReservedSpaceForMonitorParameters, p);
    if (n > INT32_MAX) Corrupted();
    const int64_t new_block_end = p + s + 8 + n;
    const int64_t tail = whole_end - block_end;
    file.SetSize(new_block_end + tail);
    std::memmove(file.Memory() + new_block_end, file.Memory() + block_end,
                 static_cast<size_t>(tail));
    write_at(p, record.Memory(), s);
    write_block_header(p + s, static_cast<int32_t>(n));
    std::memset(file.Memory() + p + s + 8, 0, static_cast<size_t>(n));
  }
  file.SaveToFile(FileName);
  const std::optional<platform::FileStamp> saved = platform::GetFileStamp(FileName);
  if (saved && saved->size == file.Size()) {
    LearnEnd(*saved, file.Size());
  } else {
    known_end_ = KnownEnd();
  }
  locked.Close();
  if (torn > 0) {
    Notify(TSaveNotice::Kind::kTornTail, torn,
           platform::Format(platform::LoadResString(STornTailRemoved), {FileName, torn}));
  }
}

// ---------------------------------------------------------------------------
// Data points

void TSaveItNew::LearnEnd(const platform::FileStamp& stamp, int64_t whole_end) {
  known_end_ = KnownEnd{FileName, stamp, whole_end};
}

int64_t TSaveItNew::WholeEndOf(const platform::OpenedFile& file,
                               const platform::FileStamp& stamp) const {
  const KnownEnd& known = known_end_;
  if (known.file_name == FileName && known.stamp.SameFile(stamp) && known.whole_end <= stamp.size) {
    if (known.stamp == stamp) return known.whole_end;
    // Another writer added to the file since: only what follows the known end
    // needs walking.
    if (known.whole_end <= known.stamp.size && known.stamp.size <= stamp.size) {
      platform::MemoryStream added;
      added.SetSize(stamp.size - known.whole_end);
      file.ReadAt(known.whole_end, added.Memory(), added.Size());
      return known.whole_end + save_file::WalkRecords(added.Memory(), added.Size(), 0).whole_end;
    }
  }
  // A file this component knows nothing of (or one changed beyond that): all of it.
  platform::MemoryStream whole;
  whole.SetSize(stamp.size);
  file.ReadAt(0, whole.Memory(), stamp.size);
  return WalkWholeFile(whole).whole_end;
}

bool TSaveItNew::AppendDataPoint(int16_t index, double time, double value) {
  try {
    using platform::OpenedFile;
    auto file = std::make_unique<OpenedFile>(FileName, OpenedFile::Mode::kWriteLocked);
    // A definition written meanwhile replaced the file under its name: the point
    // belongs in the file that has the name now.
    for (int attempt = 0; attempt < 3 && !file->PathStillNamesIt(); ++attempt) {
      file.reset();
      file = std::make_unique<OpenedFile>(FileName, OpenedFile::Mode::kWriteLocked);
    }
    const platform::FileStamp stamp = file->Stamp();
    const int64_t end = WholeEndOf(*file, stamp);
    const int64_t torn = stamp.size - end;
    if (torn > 0) file->Truncate(end);

    uint8_t bytes[record_tag::kDataPointRecordSize];
    const int32_t head[2] = {record_tag::kDataPoint, record_tag::kDataPointBodySize};
    std::memcpy(bytes, head, 8);
    std::memcpy(bytes + 8, &index, 2);
    std::memcpy(bytes + 10, &time, 8);
    std::memcpy(bytes + 18, &value, 8);
    try {
      file->WriteAt(end, bytes, sizeof bytes);
    } catch (const Exception&) {
      // Whatever part of the record got in must not stay as a torn tail.
      try {
        file->Truncate(end);
      } catch (const Exception&) {
      }
      throw;
    }
    const platform::FileStamp written = file->Stamp();
    if (written.size == end + record_tag::kDataPointRecordSize) {
      LearnEnd(written, written.size);
    } else {
      known_end_ = KnownEnd();
    }
    file->Close();
    if (torn > 0) {
      Notify(TSaveNotice::Kind::kTornTail, torn,
             platform::Format(platform::LoadResString(STornTailRemoved), {FileName, torn}));
    }
    return true;
  } catch (const std::exception& e) {
    Notify(TSaveNotice::Kind::kPointNotWritten, 1,
           platform::Format(platform::LoadResString(SPointNotWritten),
                            {static_cast<int>(index), FileName, e.what()}));
    return false;
  }
}
