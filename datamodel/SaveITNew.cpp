#include "datamodel/SaveITNew.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "datafile/QORClassFormat.h"
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

// A walk of File, a whole plain data file in memory; for any other file, none.
std::optional<save_file::TWalkResult> WalkDataFile(
    const uint8_t* data, int64_t size, std::vector<int32_t>* points_of_index = nullptr) {
  const int64_t first = save_file::FirstRecordOffset(data, size);
  if (first < 0) return std::nullopt;
  return save_file::WalkRecords(data, size, first, points_of_index);
}

// The same for any file: one that is no plain data file has no records to tell
// apart, and ends where it ends.
save_file::TWalkResult WalkWholeFile(const platform::MemoryStream& file,
                                     std::vector<int32_t>* points_of_index = nullptr) {
  if (auto walk = WalkDataFile(file.Memory(), file.Size(), points_of_index)) return *walk;
  save_file::TWalkResult whole;
  whole.whole_end = file.Size();
  return whole;
}

// The bytes of the last whole record a walk of Data stepped over, or none.
const uint8_t* LastRecordOf(const uint8_t* data, const save_file::TWalkResult& walk) {
  return walk.last_start >= 0 ? data + walk.last_start : nullptr;
}

// The last whole record a learnt end keeps for the check is at most this long (its
// tag and size included); a longer one (a large reserved block) is not learnt, and
// the next append walks.
constexpr int64_t kLongestKeptRecord = 64 * 1024;

// How much of a file a check reads first: the records before the reserved block
// are near the start, and only a file whose block lies beyond this is read whole.
constexpr int64_t kHeadBytes = 64 * 1024;

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
  const save_file::TWalkResult walk = WalkAndLearn(stamp, buffer, &points_of_index_);
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
  // A file changed since this component learnt it may have been changed anywhere,
  // and a check that reads only the head would not see it: the next append walks
  // the whole file and reports what it finds.
  if (known_end_.file_name != FileName || !(known_end_.stamp == stamp)) known_end_ = KnownEnd();
  // The load stops at the reserved block, near the start of the file: the start is
  // read first, and the whole file only when the records before the block reach
  // beyond it (or it is no monitor-data file).
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
  const save_file::TWalkResult walk = WalkAndLearn(stamp, file);
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
      if (stamp && stamp->size == file.Size()) WalkAndLearn(*stamp, file);
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

void TSaveItNew::WriteDefinitionRecord(const TParameterSerie& definition,
                                       platform::MemoryStream& record) {
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
}

save_file::TWalkResult TSaveItNew::WholeRecordsOfLocked(const platform::MemoryStream& file,
                                                        const platform::FileStamp& stamp) const {
  if (reader_->FoldingMode()) {
    save_file::TWalkResult whole;
    whole.whole_end = file.Size();
    return whole;
  }
  if (stamp.size == file.Size()) {
    if (std::optional<save_file::TWalkResult> known = KnownWalk(stamp)) return *known;
  }
  return WalkWholeFile(file);
}

void TSaveItNew::AddParameterSerie(const TParameterSerie& definition) {
  // The definition record R.
  platform::MemoryStream record;
  WriteDefinitionRecord(definition, record);
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

  // An incomplete last record (a torn append) is not carried into the new file.
  const save_file::TWalkResult walk = WholeRecordsOfLocked(file, stamp);
  const int64_t whole_end = std::max(walk.whole_end, block_end);
  const int64_t torn = file.Size() - whole_end;
  if (walk.damage_at >= 0) NotifyDamage(walk.damage_at);
  if (torn > 0) RequireTornTailMayGo(stamp, torn);

  const auto write_at = [&file](int64_t position, const void* data, int64_t count) {
    file.SetPosition(position);
    file.WriteBuffer(data, count);
  };
  const auto write_block_header = [&](int64_t position, int32_t size) {
    const int32_t header[2] = {record_tag::kMonitorReservedBlock, size};
    write_at(position, header, sizeof header);
  };
  // The last whole record of the new file: the last one after the block, moved
  // with the data points, or the new block itself.
  const bool records_follow = whole_end > block_end && walk.last_start >= block_end;
  int64_t last_start = records_follow ? walk.last_start : p + s;
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
    if (records_follow) last_start += new_block_end - block_end;
  }
  // Through the lock: where the file cannot be replaced with its owner, it is
  // written in place, still under this lock.
  locked.Replace(file.Memory(), static_cast<size_t>(file.Size()));
  const std::optional<platform::FileStamp> saved = platform::GetFileStamp(FileName);
  // What is learnt must be the file's last record, ending where the file ends.
  const bool last_is_whole =
      walk.damage_at < 0 && last_start >= 0 && file.Size() - last_start >= 8 &&
      last_start + 8 + int64_t{qor::LoadLittleEndian<int32_t>(file.Memory() + last_start + 4)} ==
          file.Size();
  if (saved && saved->size == file.Size() && last_is_whole) {
    LearnEnd(*saved, file.Size(), last_start, file.Memory() + last_start);
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

save_file::TWalkResult TSaveItNew::WalkAndLearn(const platform::FileStamp& stamp,
                                                const platform::MemoryStream& file,
                                                std::vector<int32_t>* points_of_index) {
  const std::optional<save_file::TWalkResult> walk =
      WalkDataFile(file.Memory(), file.Size(), points_of_index);
  if (!walk) {
    // Nothing may be appended to a file without the header, so nothing of it is
    // learnt: the next append looks at the file itself.
    known_end_ = KnownEnd();
    return WalkWholeFile(file);
  }
  LearnEnd(stamp, walk->whole_end, walk->last_start, LastRecordOf(file.Memory(), *walk),
           walk->damage_at);
  return *walk;
}

void TSaveItNew::LearnEnd(const platform::FileStamp& stamp, int64_t whole_end, int64_t last_start,
                          const uint8_t* record, int64_t damage_at) {
  // A load of the file as this component's failed append left it finds the same
  // tail, which is still its own.
  const bool own_tail = known_end_.own_tail && known_end_.file_name == FileName &&
                        known_end_.stamp == stamp && known_end_.whole_end == whole_end;
  known_end_ = KnownEnd();
  const int64_t length = whole_end - last_start;
  if (last_start >= 0 && (!record || length < 8 || length > kLongestKeptRecord)) return;
  known_end_.file_name = FileName;
  known_end_.stamp = stamp;
  known_end_.whole_end = whole_end;
  known_end_.last_start = last_start;
  known_end_.damage_at = damage_at;
  known_end_.own_tail = own_tail;
  if (last_start >= 0) known_end_.last_record.assign(record, record + length);
}

void TSaveItNew::LearnOwnTail(const platform::OpenedFile& file, int64_t end, int64_t last_start,
                              int64_t damage_at) {
  known_end_ = KnownEnd();
  try {
    const platform::FileStamp stamp = file.Stamp();
    if (stamp.size <= end) return;
    std::vector<uint8_t> last;
    if (last_start >= 0) {
      if (end - last_start > kLongestKeptRecord) return;
      last.resize(static_cast<size_t>(end - last_start));
      file.ReadAt(last_start, last.data(), end - last_start);
    }
    LearnEnd(stamp, end, last_start, last.data(), damage_at);
    known_end_.own_tail = known_end_.file_name == FileName;
  } catch (const Exception&) {
    known_end_ = KnownEnd();
  }
}

void TSaveItNew::RequireTornTailMayGo(const platform::FileStamp& stamp, int64_t torn) const {
  const KnownEnd& known = known_end_;
  if (known.own_tail && known.file_name == FileName && known.stamp == stamp) return;
  const int64_t now_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  if (save_file::QuietSince(stamp.modified_ns, now_ns)) return;
  throw Exception(platform::Format(platform::LoadResString(STornTailInUse), {torn}));
}

void TSaveItNew::NotifyDamage(int64_t offset) {
  Notify(TSaveNotice::Kind::kDamaged, offset,
         platform::Format(platform::LoadResString(SDamaged), {FileName, offset}));
}

std::optional<save_file::TWalkResult> TSaveItNew::KnownWalk(
    const platform::FileStamp& stamp) const {
  const KnownEnd& known = known_end_;
  if (known.file_name != FileName || !(known.stamp == stamp) || known.whole_end > stamp.size) {
    return std::nullopt;
  }
  save_file::TWalkResult walk;
  walk.whole_end = known.whole_end;
  walk.torn = known.whole_end < stamp.size;
  walk.last_start = known.last_start;
  walk.damage_at = known.damage_at;
  return walk;
}

bool TSaveItNew::LastRecordStillThere(const platform::OpenedFile& file) const {
  const KnownEnd& known = known_end_;
  // A file learnt without records (none after the header) has nothing to check
  // but its start, which the whole walk checks anyway.
  if (known.last_start < 0) return false;
  std::vector<uint8_t> now(known.last_record.size());
  file.ReadAt(known.last_start, now.data(), static_cast<int64_t>(now.size()));
  return now == known.last_record;
}

std::optional<save_file::TWalkResult> TSaveItNew::WalkOf(const platform::OpenedFile& file,
                                                         const platform::FileStamp& stamp) const {
  if (std::optional<save_file::TWalkResult> walk = KnownWalk(stamp)) return walk;
  const KnownEnd& known = known_end_;
  if (known.file_name == FileName && known.stamp.SameFile(stamp) && known.whole_end <= stamp.size) {
    // Another writer changed the file since. When it only added to it, the last
    // whole record learnt is still there and only what follows needs walking; a
    // program that rewrote the file in place (a copy over it) moved the records,
    // and a walk from the old end could start inside one.
    // A file that did not grow was not appended to: its last record being in place
    // says nothing of the rest.
    if (known.whole_end <= known.stamp.size && known.stamp.size < stamp.size &&
        LastRecordStillThere(file)) {
      platform::MemoryStream added;
      added.SetSize(stamp.size - known.whole_end);
      file.ReadAt(known.whole_end, added.Memory(), added.Size());
      save_file::TWalkResult walk = save_file::WalkRecords(added.Memory(), added.Size(), 0);
      walk.whole_end += known.whole_end;
      walk.last_start = walk.last_start < 0 ? known.last_start : walk.last_start + known.whole_end;
      if (walk.damage_at >= 0) walk.damage_at += known.whole_end;
      return walk;
    }
  }
  // A file this component knows nothing of (or one changed beyond that): all of it.
  platform::MemoryStream whole;
  whole.SetSize(stamp.size);
  file.ReadAt(0, whole.Memory(), stamp.size);
  return WalkDataFile(whole.Memory(), whole.Size());
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
    // A file without the header (empty, or another kind of file) gets no point: a
    // record there would only make it a file that nothing reads.
    const std::optional<save_file::TWalkResult> walk = WalkOf(*file, stamp);
    if (!walk) throw Exception(platform::LoadResString(SNotAMonitorFile));
    // Damage is reported and left as it is; the point goes at the end, after it (see
    // the README).
    if (walk->damage_at >= 0) NotifyDamage(walk->damage_at);
    const int64_t end = walk->whole_end;
    const int64_t torn = stamp.size - end;
    if (torn > 0) {
      RequireTornTailMayGo(stamp, torn);
      file->Truncate(end);
      Notify(TSaveNotice::Kind::kTornTail, torn,
             platform::Format(platform::LoadResString(STornTailRemoved), {FileName, torn}));
    }

    uint8_t bytes[record_tag::kDataPointRecordSize];
    const int32_t head[2] = {record_tag::kDataPoint, record_tag::kDataPointBodySize};
    std::memcpy(bytes, head, 8);
    std::memcpy(bytes + 8, &index, 2);
    std::memcpy(bytes + 10, &time, 8);
    std::memcpy(bytes + 18, &value, 8);
    try {
      file->WriteAt(end, bytes, sizeof bytes);
    } catch (const Exception&) {
      // Whatever part of the record got in must not stay as a torn tail. When it
      // cannot be cut off now, the next append knows it for this component's own
      // while nothing else touched the file.
      try {
        file->Truncate(end);
      } catch (const Exception&) {
        LearnOwnTail(*file, end, walk->last_start, walk->damage_at);
      }
      throw;
    }
    const platform::FileStamp written = file->Stamp();
    if (written.size == end + record_tag::kDataPointRecordSize) {
      LearnEnd(written, written.size, end, bytes);
    } else {
      known_end_ = KnownEnd();
    }
    file->Close();
    return true;
  } catch (const std::exception& e) {
    Notify(TSaveNotice::Kind::kPointNotWritten, 1,
           platform::Format(platform::LoadResString(SPointNotWritten),
                            {static_cast<int>(index), FileName, e.what()}));
    return false;
  }
}
