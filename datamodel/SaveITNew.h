// TSaveItNew, the save component: it creates a patient's monitor-data file or
// checks that an existing one belongs to the same monitor and patient, writes
// parameter-series definitions into the reserved block near the file's start,
// appends data points at its end, and loads any tagged data file of the family into
// its Items (SaveITNewLoad.cpp).
//
// The monitor-data file is written without checksums:
//
//   record 1 { field 9 "QOR Fluvantronics Save File Header 2.0",
//              record 3 { int 2 file type (8), int 30 attribute, [str 203], [str 204] },
//              record 200 { str 201, str 202, str 203, str 204 },
//              definition records 210 { int 211, str 212 .. 216 } ...,
//              record 205 { reserved, zero bytes } }
//   data-point records 220 { int16 index, Double time, Double value } ...
//
// Record 1's size is written once and is stale after the reserved block grew;
// readers go on to the end of the file.
//
// What stands between the patient's data and harm:
// - A new file is written whole to a temporary file and only then takes its name,
//   never in place of a file that another process created meanwhile; a definition
//   is written by replacing the whole file atomically, under the writers' lock, so
//   a failed save leaves the previous file and no append is lost to the rewrite.
// - Data points are appended under the writers' lock, and only to a file that
//   exists (a file is never made without its header).
// - A file whose last record was cut short (a crash or a full disk during an
//   append) still loads every whole record; the torn bytes are reported and cut off
//   before the next append, so that later points are never misaligned behind them.
//   Only an interrupted append's last record is torn; a record that runs past the
//   end otherwise (a damaged size) is reported and nothing is cut off. A torn tail
//   is cut only when it is this component's own (its append failed and the bytes
//   that got in could not be taken back, and nothing touched the file since) or
//   the file has been left alone for a while: another program copying over the
//   file may still be writing the rest of that record, and then the point (or the
//   definition) is refused instead.
//   The component remembers where the last whole record of the file it last read or
//   wrote ends, and that record; an append trusts the end only while the file is
//   unchanged, or has grown with that record still in place.
// - A failed append does not raise, but returns false and is reported through
//   OnNotice, as is anything a load left out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassPersist.h"
#include "datafile/QORClassReader.h"
#include "datamodel/SaveITNewFile.h"
#include "datamodel/SaveITNewItems.h"
#include "datamodel/Series_CDataSet.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "platform/object.h"
#include "platform/resources.h"

class TAxis;
class TSerieObject;
class TTarvoDataPoint;
class TVistaWriter;

using TOnFileStructureChangedEvent = std::function<void(const std::string& file_name)>;

// What the component tells its user although the operation went on: a point that
// was not written, or what a load left out. Text is ready to show (error line, log).
struct TSaveNotice {
  enum class Kind {
    // AppendDataPoint could not write the point; Text gives the reason.
    kPointNotWritten,
    // The file ended in an incomplete record of Count bytes: a load left it out, or
    // an append or a new definition cut it off the file.
    kTornTail,
    // A load left out Count data points whose index names no definition.
    kUndefinedPoints,
    // The file holds a record at offset Count that runs past its end and is no torn
    // append (a damaged size, say): nothing was cut off, and an append went after
    // it, at the file's end.
    kDamaged,
  };
  Kind kind;
  std::string file_name;
  int64_t count = 0;
  std::string text;
};
using TSaveNoticeEvent = std::function<void(const TSaveNotice& notice)>;

// What the last load (Refresh) found besides the objects in Items.
struct TLoadReport {
  // Bytes after the last whole record, left out: an incomplete last record.
  int64_t torn_tail_bytes = 0;
  // Data points (220, 85, 221) whose index names no definition, left out.
  int32_t undefined_points = 0;
  // Whole records left out because no class for them is registered (a series
  // record type without a series class, a care-event record without its
  // prototype) or because nothing can take them (a video frame without a video
  // series).
  int32_t skipped_records = 0;
  // A checksum did not match (the load still completed).
  bool checksum_error = false;
};

// The component's texts (resource strings).
inline constexpr platform::ResourceString SVideoFrom{"SaveITNew.SVideoFrom", "Video from %s"};
inline constexpr platform::ResourceString SChecksumError{"SaveITNew.SChecksumError",
                                                         " has a checksum error."};
inline constexpr platform::ResourceString SPointNotWritten{
    "SaveITNew.SPointNotWritten", "A data point of series %d was not written to %s: %s"};
inline constexpr platform::ResourceString STornTailLeftOut{
    "SaveITNew.STornTailLeftOut", "%s ends in an incomplete record of %d bytes; it was left out."};
inline constexpr platform::ResourceString STornTailRemoved{
    "SaveITNew.STornTailRemoved",
    "%s ended in an incomplete record of %d bytes; it was removed from the file."};
inline constexpr platform::ResourceString STornTailInUse{
    "SaveITNew.STornTailInUse",
    "The file ends in an incomplete record of %d bytes that another program may still be "
    "writing; nothing was cut off."};
inline constexpr platform::ResourceString SDamaged{
    "SaveITNew.SDamaged",
    "%s is damaged: the record at byte %d claims more bytes than the file holds. Nothing was "
    "removed."};
inline constexpr platform::ResourceString SNotAMonitorFile{
    "SaveITNew.SNotAMonitorFile", "The file is empty or no monitor-data file."};
inline constexpr platform::ResourceString SUndefinedPoints{
    "SaveITNew.SUndefinedPoints",
    "%s holds %d data points of undefined series; they were left out."};

// The save component. It is not thread-safe: one thread (the user-interface
// thread, in both programs) uses a component and its items; other processes
// writing the same file meet its writers' lock.
class TSaveItNew : public TComponent {
 public:
  explicit TSaveItNew(TComponent* owner);
  ~TSaveItNew() override;
  std::string_view ClassName() const override { return "TSaveItNew"; }

  // --- Published properties ------------------------------------------------
  std::string About() const { return "Project: Vorta (TarvoCollect)  Version: 1.0"; }
  void SetAbout(std::string_view) {}
  // The care-event category pool (not owned); cleared when that component goes
  // (ComponentRemoved). Not used here otherwise.
  TComponent* CategorizationPool() const { return categorization_pool_; }
  void SetCategorizationPool(TComponent* pool) { categorization_pool_ = pool; }
  void ComponentRemoved(const TComponent* component);
  // The file every operation works on; set by the caller before each operation.
  std::string FileName;
  TQORFileType FileType() const { return file_type_; }
  void SetFileType(TQORFileType type) { file_type_ = type; }
  bool IsReadOnly = false;  // stored, no effect
  // Size of a new file's reserved block, and the least size of a grown one.
  int32_t MinimumReservedSpaceForMonitorParameters = 500;
  // Fired after OpenMonitorFile has created a file.
  TOnFileStructureChangedEvent OnFileStructureChanged;
  // Fired for every notice (see TSaveNotice).
  TSaveNoticeEvent OnNotice;

  // --- What was loaded -----------------------------------------------------
  // The objects loaded from the file, owned. For a monitor-data file: the monitor
  // record, then one TParameterSerie per definition in file order, each with the
  // series of its points.
  std::vector<std::unique_ptr<TObject>>& Items() { return items_; }
  const std::vector<std::unique_ptr<TObject>>& Items() const { return items_; }
  uint8_t FileAttribute() const { return file_attribute_; }
  // Fields 203 and 204 of the file-info record of a loaded file.
  const std::string& FilePatientId() const { return file_patient_id_; }
  const std::string& FilePatientName() const { return file_patient_name_; }
  const std::string& LoadedFileName() const { return loaded_file_name_; }
  platform::DateTime LoadedFileDate() const { return loaded_file_date_; }
  // True only while OpenMonitorFile checks a file: the load stops at the block.
  bool HeaderOnly() const { return header_only_; }
  // The axes among Items, by orientation, and the video series (none without).
  const std::vector<TAxis*>& HorizontalAxes() const { return horizontal_axes_; }
  const std::vector<TAxis*>& VerticalAxes() const { return vertical_axes_; }
  TSerieObject* VideoSerie() const { return video_serie_; }
  const TLoadReport& LoadReport() const { return load_report_; }

  // --- Operations ----------------------------------------------------------
  // Creates FileName as a new monitor-data file with the four texts as fields 201
  // to 204, or checks that the existing file is a monitor-data file whose monitor
  // record holds exactly these texts. Raises "Exception:Incorrect filetype",
  // "Exception:The existing file does not match!" or "Exception:No MonitorInfo!",
  // and the errors of reading and creating. The check leaves the monitor record and
  // the definitions in Items; the loaded-file record is not changed, so callers that
  // want the points call ForgetLoadedFile before Refresh.
  void OpenMonitorFile(const std::string& monitor_name, const std::string& monitor_detail,
                       const std::string& patient_id, const std::string& patient_name);
  // Writes Definition's record (Index as 211, then the parameter name 212, place
  // 213, extra name 214, Unit 215 and parameter ID 216) into FileName's reserved
  // block, growing the block when it is full. The fields are taken by name, so they
  // land in their fields whatever order a caller has them in. Raises "Exception:No
  // reserved block!" for a file without one (writing nothing), STornTailInUse for a
  // file ending in a torn record that another program may still be writing, and the
  // errors of reading and saving (the file then is unchanged). Items is not touched.
  void AddParameterSerie(const TParameterSerie& definition);
  // Appends one data point (Index, Time, Value) at the end of FileName. Never
  // raises: returns whether the point was written, and when it was not, tells why
  // through OnNotice. FileName must exist and be a data file (its header there); no
  // file is ever created here.
  bool AppendDataPoint(int16_t index, double time, double value);
  // Loads FileName into Items when it changed since the last load (another file,
  // size, identity or modification time) or Items is empty; empties Items when the
  // file is gone. Errors of reading propagate; Items then holds what was loaded.
  void Refresh();
  // The next Refresh loads the file again.
  void ForgetLoadedFile();
  // Frees Items, empties the axis lists and the loaded-file details (type,
  // attribute, patient id and name); the loaded-file record stays.
  void Clear();

  // Runs the reader over Buffer with Handler and this component as user data;
  // returns the reader's result (false when a checksum did not match).
  bool Parse(platform::MemoryStream& buffer, TRecordHandler handler);
  bool IsFileVersionAtLeast(int32_t major, int32_t minor) const;
  bool IsFileVersionBelow(int32_t major, int32_t minor) const;

  TVistaReader& Reader() { return *reader_; }
  TVistaWriter& Writer() { return *writer_; }

  // The record handlers (SaveITNewLoad.cpp), called by the reader with this
  // component as user data.
  static void ReadAnyRecord(void* self, int32_t tag, TVistaReader& reader);
  static void ReadMonitorRecord(void* self, int32_t tag, TVistaReader& reader);
  static void ReadLegacyPointRecord(void* self, int32_t tag, TVistaReader& reader);
  // The handler of AddParameterSerie: stops right after the reserved block's tag.
  static void ReadHeaderRecord(void* self, int32_t tag, TVistaReader& reader);

 private:
  // Where the last whole record of a file ends, as learnt when the file was in the
  // state Stamp describes, and that record itself (where it begins, its bytes):
  // a stamp cannot tell an append from a rewrite in place, the record can.
  struct KnownEnd {
    std::string file_name;
    platform::FileStamp stamp;
    int64_t whole_end = 0;
    int64_t last_start = -1;
    std::vector<uint8_t> last_record;
    // Where the walk that learnt this met damage, or -1.
    int64_t damage_at = -1;
    // The bytes from WholeEnd to the end of the file are what this component's own
    // append left when it failed and they could not be cut off.
    bool own_tail = false;
  };

  class LoadScope;
  // Reads FileName whole into Buffer, with the stamp of what was read.
  platform::FileStamp LoadFile(platform::MemoryStream& buffer) const;
  void LoadItems();
  // The check's load: the monitor record and the definitions, up to the block.
  void LoadHead();
  // Walks File, read whole as Stamp describes it, and learns its end when it is a
  // plain data file; for any other file the walk takes it whole and nothing is
  // learnt.
  save_file::TWalkResult WalkAndLearn(const platform::FileStamp& stamp,
                                      const platform::MemoryStream& file,
                                      std::vector<int32_t>* points_of_index = nullptr);
  // Remembers that the file as Stamp describes it ends its last whole record at
  // WholeEnd, that record beginning at LastStart (-1: none) with the bytes at
  // Record (WholeEnd - LastStart of them).
  void LearnEnd(const platform::FileStamp& stamp, int64_t whole_end, int64_t last_start,
                const uint8_t* record, int64_t damage_at = -1);
  // Remembers that the bytes of File from End on are this component's own failed
  // append, which it could not cut off; the whole records before end with the one
  // at LastStart. Learns nothing when the file cannot tell its state.
  void LearnOwnTail(const platform::OpenedFile& file, int64_t end, int64_t last_start,
                    int64_t damage_at);
  // Whether a torn tail of the file as Stamp describes it may be cut off: it is
  // this component's own, or the file has not been modified for a while. Raises
  // the reason otherwise.
  void RequireTornTailMayGo(const platform::FileStamp& stamp, int64_t torn) const;
  // The definition record of Definition, written into Record.
  void WriteDefinitionRecord(const TParameterSerie& definition, platform::MemoryStream& record);
  // Where the whole records of File (the locked file's bytes as Stamp describes
  // them) end: known without a walk while the file is as this component last read
  // or wrote it, else walked. A folded file is taken whole.
  save_file::TWalkResult WholeRecordsOfLocked(const platform::MemoryStream& file,
                                              const platform::FileStamp& stamp) const;
  // What a walk of the open file finds, from what was learnt when that holds for
  // the file as it is, else by walking what changed (or all of it). None for a file
  // that is no plain data file, which nothing may be appended to.
  std::optional<save_file::TWalkResult> WalkOf(const platform::OpenedFile& file,
                                               const platform::FileStamp& stamp) const;
  // What was learnt of the file, as a walk, when the file is still in the state
  // Stamp describes; else none.
  std::optional<save_file::TWalkResult> KnownWalk(const platform::FileStamp& stamp) const;
  // Whether the last whole record learnt is still in the open file where it was.
  bool LastRecordStillThere(const platform::OpenedFile& file) const;
  void NotifyDamage(int64_t offset);
  void Notify(TSaveNotice::Kind kind, int64_t count, std::string text);
  void NotifyLoadReport();

  // Loader helpers (SaveITNewLoad.cpp).
  void AddItem(std::unique_ptr<TObject> item);
  void EnterSerieRecord(int32_t tag, TVistaReader& reader);
  void EnterPrototypeRecord(int32_t tag, TVistaReader& reader);
  void ReadCurrentObjectField(int32_t tag, TVistaReader& reader);
  void ReadDataPoint(int32_t tag, TVistaReader& reader);
  // The plain data points that follow one, read from the buffer in place.
  void ReadDataPointRun(TVistaReader& reader);
  // Files a data point of record type Tag under Index: the analyzer point, else a
  // point made at (X, Y).
  void AddDataPoint(int32_t tag, int16_t index, std::unique_ptr<TTarvoDataPoint> analyzer_point,
                    double x = 0, double y = 0);
  void ReadVideoFrame(TVistaReader& reader);
  void EnterVideoInfo(TVistaReader& reader);
  bool EnsureVideoSerie();
  void SetVideoCaption(const std::string& text);
  void ReadMonitorObjectField(int32_t tag, TVistaReader& reader);
  bool ReadLegacyPoint(int32_t tag, TVistaReader& reader);
  // The definition at Items position Index + 1 when its Index is Index, else none.
  TParameterSerie* DefinitionFor(int16_t index) const;

  TComponent* categorization_pool_ = nullptr;
  TQORFileType file_type_ = ftUnknown;
  uint8_t file_attribute_ = 0;
  std::string file_patient_id_;
  std::string file_patient_name_;
  std::string loaded_file_name_;
  platform::DateTime loaded_file_date_ = 0;
  platform::FileStamp loaded_stamp_;
  bool header_only_ = false;
  std::vector<std::unique_ptr<TObject>> items_;
  std::vector<TAxis*> horizontal_axes_;
  std::vector<TAxis*> vertical_axes_;
  TSerieObject* video_serie_ = nullptr;
  TDataSetRef video_data_set_;
  std::unique_ptr<TVistaReader> reader_;
  std::unique_ptr<TVistaWriter> writer_;
  TLoadReport load_report_;
  KnownEnd known_end_;
  // While a file is loaded: the definition standing at each position of Items (none
  // for other items), so that a data point finds its definition without a cast;
  // and the number of data points of each index the file holds, so that each
  // series makes room for its points at once.
  std::vector<TParameterSerie*> definition_at_;
  std::vector<int32_t> points_of_index_;
  // The memory a file is read into, kept from one load (or definition) to the next:
  // a reload then neither asks the system for the file's size in fresh pages nor
  // gives them back, nor clears them before reading into them.
  platform::MemoryStream load_buffer_;
  // The buffer Parse is reading, which the data-point records are read from in place.
  platform::MemoryStream* parse_buffer_ = nullptr;
};
