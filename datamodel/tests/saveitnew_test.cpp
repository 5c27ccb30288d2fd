// The monitor-data file: creating and checking it, definitions in the reserved
// block, appended data points, reloading, and the failures that must leave the
// patient's file whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datamodel/Axis.h"
#include "datamodel/SaveITNewFile.h"
#include "datamodel/tests/saveitnew_test_support.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/files.h"

namespace {

// What runs at the next flock of this program: another writer acting right after
// an operation has opened its file, before it takes the file's lock.
std::function<void()>& BeforeNextLock() {
  static std::function<void()> action;
  return action;
}

}  // namespace

// Every flock of this program passes here (the program's own definition comes
// before the C library's).
extern "C" int flock(int fd, int operation) noexcept {
  if (std::function<void()> action = std::exchange(BeforeNextLock(), nullptr)) action();
  return static_cast<int>(::syscall(SYS_flock, fd, operation));
}

namespace {

// The bytes this program has read with pread since a test last set it to 0: how
// much of a file an operation read.
int64_t& BytesRead() {
  static int64_t bytes = 0;
  return bytes;
}

}  // namespace

// Every pread of this program passes here, as every flock does above.
extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
  const auto n = static_cast<ssize_t>(::syscall(SYS_pread64, fd, buffer, count, offset));
  if (n > 0) BytesRead() += n;
  return n;
}

namespace {

// While set, every ftruncate of this program fails with EIO, as on a disk that has
// gone bad: a failed append cannot take back what it wrote.
bool& TruncateFails() {
  static bool fails = false;
  return fails;
}

}  // namespace

// Every ftruncate of this program passes here, as every flock does above.
extern "C" int ftruncate(int fd, off_t length) noexcept {
  if (TruncateFails()) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_ftruncate, fd, length));
}

namespace {

using namespace save_test;

// Writes Bytes over the file at Path from Offset on, in place: the same file, as
// another program changes it.
void WriteBytesAt(const std::string& path, size_t offset, const Bytes& bytes) {
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(bytes.vec().data()),
             static_cast<std::streamsize>(bytes.size()));
}

// Sets the modification time of the file at Path to Seconds before now, on the real
// clock that the component reads as well.
void SetModifiedAgo(const std::string& path, int64_t seconds) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const timespec times[2] = {{0, UTIME_OMIT}, {now.tv_sec - seconds, now.tv_nsec}};
  EXPECT_EQ(::futimens(fd, times), 0);
  ::close(fd);
}

constexpr const char* kHeader = "QOR Fluvantronics Save File Header 2.0";

// The new file for Gasbridge's identity: a shown id of 11 characters, a last name
// of n, the default block. Written out from the file's layout, field by field.
Bytes NewGasbridgeFile(const std::string& last_name) {
  const int32_t n = static_cast<int32_t>(last_name.size());
  Bytes b;
  b.I32(1).I32(682 + n - 8);                     // record 1, its size
  b.I32(9).I32(42).I32(1).Text(kHeader);         // 50 bytes
  b.I32(3).I32(24);                              // file info
  b.I32(2).I32(4).I32(8).I32(30).I32(4).I32(0);  // type 8, attribute 0
  b.I32(200).I32(48 + 17 + 11 + n);              // monitor record
  b.I32(201).I32(21).I32(1).Text("Radiometer ABLxxx");
  b.I32(202).I32(4).I32(1);
  b.I32(203).I32(15).I32(1).Text("123456-7890");
  b.I32(204).I32(4 + n).I32(1).Text(last_name);
  b.I32(205).I32(500);
  for (int i = 0; i < 500; ++i)
    b.U8(0);
  return b;
}

// Sets RLIMIT_FSIZE for a scope: writes past the limit fail with EFBIG, as on a full
// disk (the signal that would end the process is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_signal_);
  }

 private:
  rlimit saved_{};
  void (*previous_signal_)(int) = nullptr;
};

class SaveItNewTest : public SaveFixture {
 protected:
  void Open(const Identity& who = Identity()) {
    save_.OpenMonitorFile(who.monitor, who.detail, who.patient_id, who.patient_name);
  }
  void Add(const Definition& d) {
    TParameterSerie definition;
    definition.Index = d.index;
    definition.ParameterInfo().SetParameterName(d.name);
    definition.ParameterInfo().SetMeasurementPlace(d.place);
    definition.ParameterInfo().SetParamExtraName(d.extra);
    definition.ParameterInfo().SetParameterID(d.id);
    definition.Unit = d.unit;
    save_.AddParameterSerie(definition);
  }
  std::vector<uint8_t> File() const { return ReadBytes(save_.FileName); }
  void Reload() {
    save_.ForgetLoadedFile();
    save_.Refresh();
  }
};

// ---------------------------------------------------------------------------
// Creating

TEST_F(SaveItNewTest, ANewFileHoldsTheHeaderTheIdentityAndAnEmptyBlock) {
  for (const std::string name : {"Berg", "", "Andersson-Lindqvist"}) {
    SCOPED_TRACE(name);
    Use("ABL" + std::to_string(name.size()) + ".vor");
    std::vector<std::string> changed;
    save_.OnFileStructureChanged = [&changed](const std::string& file) { changed.push_back(file); };
    save_.OpenMonitorFile("Radiometer ABLxxx", "", "123456-7890", name);
    EXPECT_EQ(File(), NewGasbridgeFile(name).vec());
    EXPECT_EQ(File().size(), 682 + name.size());
    EXPECT_EQ(changed, std::vector<std::string>{save_.FileName});
    EXPECT_EQ(save_.FileType(), ftMonitorData);
  }
  // Nothing but the files themselves: no temporary file is left.
  EXPECT_EQ(EntryCount(folder_.path()), 3u);
}

TEST_F(SaveItNewTest, ANewFileCarriesNoPatientOfAnEarlierLoad) {
  // A file whose file-info record names a patient, loaded first.
  Use("other.dat");
  WriteBytes(save_.FileName,
             DataFile(Record(3, Cat({IntField(2, 1), IntField(30, 0), StrField(203, "999999-0000"),
                                     StrField(204, "Ek")}))));
  save_.Refresh();
  EXPECT_EQ(save_.FilePatientId(), "999999-0000");
  EXPECT_EQ(save_.FilePatientName(), "Ek");

  Use("ABL.vor");
  Open();
  EXPECT_EQ(File(), NewGasbridgeFile("Berg").vec());
}

TEST_F(SaveItNewTest, TheReservedBlockTakesTheSizeSet) {
  Use("ABL.vor");
  save_.MinimumReservedSpaceForMonitorParameters = 40;
  Open();
  EXPECT_EQ(File(), MonitorFile(Identity(), 40).vec());
}

// ---------------------------------------------------------------------------
// Checking

TEST_F(SaveItNewTest, AnExistingFileIsCheckedAgainstTheIdentity) {
  Use("ABL.vor");
  WriteBytes(save_.FileName,
             MonitorFile(Identity(), 300,
                         {{0, "pO2", "Arterial", "", "kPa", ""}, {1, "pH", "", "", "", ""}},
                         Cat({DataPoint(0, 45000.5, 12.5)})));
  const std::vector<uint8_t> before = File();
  bool changed = false;
  save_.OnFileStructureChanged = [&changed](const std::string&) { changed = true; };
  Open();
  EXPECT_FALSE(changed);
  EXPECT_EQ(File(), before);
  // The monitor record and the definitions, without points.
  ASSERT_EQ(save_.Items().size(), 3u);
  const auto* info = dynamic_cast<TMonitorInfo*>(save_.Items()[0].get());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->PatientId, "123456-7890");
  EXPECT_EQ(info->PatientName, "Berg");
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 2u);
  EXPECT_EQ(definitions[0]->ParameterInfo().ParameterName(), "pO2");
  EXPECT_EQ(definitions[0]->Serie(), nullptr);
  EXPECT_EQ(definitions[1]->Index, 1);
  EXPECT_FALSE(save_.HeaderOnly());
  // The loaded-file record is left alone: a Refresh after ForgetLoadedFile loads all.
  EXPECT_EQ(save_.LoadedFileName(), "");
  Reload();
  ASSERT_NE(ItemsOf<TParameterSerie>(save_)[0]->Serie(), nullptr);
}

TEST_F(SaveItNewTest, TheThreeCheckFailures) {
  struct Case {
    const char* what;
    Bytes file;
    const char* message;
  };
  Identity other_case;
  other_case.patient_id = "123456-789O";
  Identity detail;
  detail.detail = "x";
  const Case cases[] = {
      {"an id differing in one letter", MonitorFile(other_case, 100),
       "Exception:The existing file does not match!"},
      {"another detail", MonitorFile(detail, 100), "Exception:The existing file does not match!"},
      {"another file type",
       DataFile(Cat({Record(3, Cat({IntField(2, 1), IntField(30, 0)})),
                     Record(200, Cat({StrField(201, "Radiometer ABLxxx")}))})),
       "Exception:Incorrect filetype"},
      {"no monitor record",
       DataFile(Cat({Record(3, Cat({IntField(2, 8), IntField(30, 0)})), Record(205, Bytes())})),
       "Exception:No MonitorInfo!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use("ABL.vor");
    WriteBytes(save_.FileName, c.file);
    EXPECT_EQ(MessageOf<Exception>([&] { Open(); }), c.message);
    EXPECT_FALSE(save_.HeaderOnly());
    EXPECT_EQ(File(), c.file.vec());
  }
  // A patient id that differs in case only does not match either.
  Identity lower;
  lower.patient_id = "abc123-0000";
  Identity upper = lower;
  upper.patient_id = "ABC123-0000";
  Use("case.vor");
  Open(lower);
  Open(lower);
  EXPECT_EQ(MessageOf<Exception>([&] { Open(upper); }),
            "Exception:The existing file does not match!");
}

TEST_F(SaveItNewTest, LargeFilesAreCheckedByTheirHead) {
  // A file far longer than its head; one whose head itself is long (a name of
  // 70,000 characters puts the block far from the start); and a long file of
  // another type.
  Bytes points;
  for (int i = 0; i < 4000; ++i)
    points.Append(DataPoint(0, 45000 + i, i));
  Identity long_name;
  long_name.patient_name = std::string(70000, 'n');
  const Bytes plot = DataFile(Cat({Record(3, Cat({IntField(2, 1), IntField(30, 0)})),
                                   Record(70, Bytes().Raw(points.vec().data(), points.size()))}));
  struct Case {
    const char* what;
    Identity who;
    Bytes file;
    const char* message;
  };
  const Case cases[] = {
      {"many points", Identity(), MonitorFile(Identity(), 100, {{0, "pH", "", "", "", ""}}, points),
       "(none)"},
      {"a long head", long_name, MonitorFile(long_name, 100, {{0, "pH", "", "", "", ""}}, points),
       "(none)"},
      {"another type", Identity(), plot, "Exception:Incorrect filetype"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use("ABL.vor");
    WriteBytes(save_.FileName, c.file);
    ASSERT_GT(c.file.size(), 70000u);
    EXPECT_EQ(MessageOf<Exception>([&] { Open(c.who); }), c.message);
    if (std::string(c.message) != "(none)") continue;
    ASSERT_EQ(save_.Items().size(), 2u);
    EXPECT_EQ(dynamic_cast<TMonitorInfo&>(*save_.Items()[0]).PatientName, c.who.patient_name);
    EXPECT_EQ(ItemsOf<TParameterSerie>(save_)[0]->Serie(), nullptr);  // no points
  }
}

TEST_F(SaveItNewTest, TheHeadServesWhileTheBlocksTagLiesInIt) {
  // The check reads the first 64 KiB and stops at the reserved block's tag. With the
  // tag's last byte the head's last, nothing more is read; one byte further on, the
  // whole file is read as well. The patient's name moves the block.
  constexpr int64_t kHead = 64 * 1024;
  Bytes points;
  for (int i = 0; i < 4000; ++i)
    points.Append(DataPoint(0, 45000 + i, i));
  Identity unnamed;
  unnamed.patient_name.clear();
  const int64_t block_at_unnamed = static_cast<int64_t>(MonitorFile(unnamed, 0).size()) - 8;
  for (const int64_t tag_end : {kHead, kHead + 1}) {
    SCOPED_TRACE(tag_end);
    Identity who;
    who.patient_name = std::string(static_cast<size_t>(tag_end - 4 - block_at_unnamed), 'n');
    const Bytes file = MonitorFile(who, 100, {}, points);
    ASSERT_EQ(static_cast<int64_t>(MonitorFile(who, 0).size()) - 4, tag_end);
    Use("ABL.vor");
    WriteBytes(save_.FileName, file);
    BytesRead() = 0;
    Open(who);
    EXPECT_EQ(BytesRead(), tag_end <= kHead ? kHead : kHead + static_cast<int64_t>(file.size()));
    ASSERT_EQ(ItemsOf<TMonitorInfo>(save_).size(), 1u);
    EXPECT_EQ(ItemsOf<TMonitorInfo>(save_)[0]->PatientName, who.patient_name);
  }
}

// ---------------------------------------------------------------------------
// Definitions

TEST_F(SaveItNewTest, DefinitionsGoIntoTheBlockInPlace) {
  Use("ABL.vor");
  Open();
  const Definition first{0, "pO2", "Arterial", "", "kPa", ""};
  Add(first);
  // The record: 80 bytes and its strings' lengths; the unit in 215, the id in 216.
  const Bytes record = DefinitionRecord(first);
  ASSERT_EQ(record.size(), 80u + 3 + 8 + 3);
  EXPECT_EQ(File(),
            MonitorFile(Identity(), 500 - static_cast<int32_t>(record.size()), {first}).vec());
  // The file keeps its length, and the block shrinks by the record.
  EXPECT_EQ(File().size(), 686u);

  const Definition second{-1, "pH", "", "", "", "X1"};
  Add(second);
  EXPECT_EQ(File(), MonitorFile(Identity(),
                                500 - static_cast<int32_t>(record.size()) -
                                    static_cast<int32_t>(DefinitionRecord(second).size()),
                                {first, second})
                        .vec());
  // Index -1 is stored as 65535.
  const Bytes expected = Cat({Bytes().I32(211).I32(4).U8(0xFF).U8(0xFF).U8(0).U8(0)});
  const std::vector<uint8_t> file = File();
  EXPECT_NE(std::search(file.begin(), file.end(), expected.vec().begin(), expected.vec().end()),
            file.end());

  Reload();
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 2u);
  EXPECT_EQ(definitions[0]->Unit, "kPa");
  EXPECT_EQ(definitions[0]->ParameterInfo().ParameterID(), "");
  EXPECT_EQ(definitions[1]->Index, -1);
  EXPECT_EQ(definitions[1]->ParameterInfo().ParameterID(), "X1");
  EXPECT_EQ(definitions[1]->Unit, "");
}

TEST_F(SaveItNewTest, AFullBlockGrowsAndThePointsFollowItInOrder) {
  // A patient name of 526 characters puts the block's tag at offset 700; the block
  // holds exactly the definition, so it grows.
  const Definition definition{0, "pO2", "", "", "kPa", ""};
  const int32_t s = static_cast<int32_t>(DefinitionRecord(definition).size());
  Identity who;
  who.patient_name = std::string(526, 'x');
  const Bytes points =
      Cat({DataPoint(0, 45000.1, 1), DataPoint(0, 45000.2, 2), DataPoint(0, 45000.3, 3)});
  Use("ABL.vor");
  WriteBytes(save_.FileName, MonitorFile(who, s, {}, points));
  ASSERT_EQ(MonitorFile(who, s).size(), 700u + 8 + s);

  Add(definition);
  // The definition where the block was, then a block of max(500, 700) = 700 zero
  // bytes, then the points as they were.
  const Bytes expected = MonitorFile(who, 700, {definition}, points);
  std::vector<uint8_t> file = File();
  ASSERT_EQ(file.size(), expected.size());
  // Record 1's size is written once and not rewritten: it is the only difference.
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 8, file.end()),
            std::vector<uint8_t>(expected.vec().begin() + 8, expected.vec().end()));

  // A small file's block grows to the minimum.
  Use("small.vor");
  WriteBytes(save_.FileName, MonitorFile(Identity(), 10, {}, points));
  Add(definition);
  const Bytes small = MonitorFile(Identity(), 500, {definition}, points);
  file = File();
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 8, file.end()),
            std::vector<uint8_t>(small.vec().begin() + 8, small.vec().end()));
  Reload();
  ASSERT_EQ(ItemsOf<TParameterSerie>(save_).size(), 1u);
  EXPECT_EQ(YsOf(*ItemsOf<TParameterSerie>(save_)[0]->Serie()), (std::vector<double>{1, 2, 3}));
}

TEST_F(SaveItNewTest, AFileWithoutABlockOrWithABlockBeyondItsEndIsLeftAlone) {
  struct Case {
    const char* what;
    Bytes file;
    const char* message;
  };
  const Bytes head = Cat({Record(3, Cat({IntField(2, 8), IntField(30, 0)})),
                          Record(200, StrField(201, "Radiometer ABLxxx"))});
  const Case cases[] = {
      {"no block", DataFile(head), "Exception:No reserved block!"},
      {"a block longer than the file", DataFile(head).Append(Bytes().I32(205).I32(1000).I32(0)),
       "Exception:The file has been corrupted."},
      {"a block of negative size", DataFile(head).Append(Bytes().I32(205).I32(-8).I32(0)),
       "Exception:The file has been corrupted."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use("ABL.vor");
    WriteBytes(save_.FileName, c.file);
    EXPECT_EQ(MessageOf<Exception>([&] { Add({0, "pH", "", "", "", ""}); }), c.message);
    EXPECT_EQ(File(), c.file.vec());
  }
}

TEST_F(SaveItNewTest, AFailedSaveLeavesThePreviousFileWhole) {
  Use("ABL.vor");
  WriteBytes(save_.FileName, MonitorFile(Identity(), 0, {}, Cat({DataPoint(0, 1, 2)})));
  const std::vector<uint8_t> before = File();
  {
    // The grown file would be larger than a file may become now: its save fails
    // partway through, like a save onto a full disk.
    FileSizeLimit limit(before.size() + 100);
    EXPECT_THROW(Add({0, "pH", "", "", "", ""}), EFCreateError);
  }
  EXPECT_EQ(File(), before);
  EXPECT_EQ(EntryCount(folder_.path()), 1u);  // no temporary file stays
}

TEST_F(SaveItNewTest, ADefinitionIsNotWrittenWhileAnotherWriterHoldsTheFile) {
  Use("ABL.vor");
  Open();
  const std::vector<uint8_t> before = File();
  platform::OpenedFile other(save_.FileName, platform::OpenedFile::Mode::kWriteLocked);
  EXPECT_THROW(Add({0, "pH", "", "", "", ""}), EFOpenError);
  EXPECT_EQ(File(), before);
}

// ---------------------------------------------------------------------------
// Data points

TEST_F(SaveItNewTest, APointIsOneRecordOf26BytesAtTheEnd) {
  Use("ABL.vor");
  Open();
  const std::vector<uint8_t> before = File();
  EXPECT_TRUE(save_.AppendDataPoint(-1, 45123.25, 7.41));
  EXPECT_TRUE(save_.AppendDataPoint(2, 45123.5, -0.5));
  Bytes expected;
  expected.Raw(before.data(), before.size());
  expected.U8(220).U8(0).U8(0).U8(0).U8(18).U8(0).U8(0).U8(0).U8(0xFF).U8(0xFF);
  expected.F64(45123.25).F64(7.41);
  expected.Append(DataPoint(2, 45123.5, -0.5));
  EXPECT_EQ(File(), expected.vec());
  EXPECT_TRUE(notices_.empty());
}

TEST_F(SaveItNewTest, APointThatCannotBeWrittenIsReportedAndNoFileIsMade) {
  Use("missing.vor");
  EXPECT_FALSE(save_.AppendDataPoint(3, 45000, 1));
  EXPECT_EQ(EntryCount(folder_.path()), 0u);
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kPointNotWritten);
  EXPECT_EQ(notices_[0].file_name, save_.FileName);
  EXPECT_EQ(notices_[0].text, "A data point of series 3 was not written to " + save_.FileName +
                                  ": Cannot open file \"" + save_.FileName +
                                  "\". No such file or directory");

  // Another writer holds the file.
  Use("ABL.vor");
  Open();
  const std::vector<uint8_t> before = File();
  {
    platform::OpenedFile other(save_.FileName, platform::OpenedFile::Mode::kWriteLocked);
    EXPECT_FALSE(save_.AppendDataPoint(0, 45000, 1));
  }
  EXPECT_EQ(File(), before);
  ASSERT_EQ(notices_.size(), 2u);
  EXPECT_NE(notices_[1].text.find("being used by another process"), std::string::npos);

  // The disk is full: the part of the record that got in is taken out again.
  {
    FileSizeLimit limit(before.size() + 10);
    EXPECT_FALSE(save_.AppendDataPoint(0, 45000, 1));
  }
  EXPECT_EQ(File(), before);
  ASSERT_EQ(notices_.size(), 3u);
  EXPECT_EQ(notices_[2].kind, TSaveNotice::Kind::kPointNotWritten);
  EXPECT_TRUE(save_.AppendDataPoint(0, 45000, 1));
  EXPECT_EQ(File().size(), before.size() + 26);
}

TEST_F(SaveItNewTest, PointsAreFiledIntoTheirSeriesAndReadBackInTimeOrder) {
  Use("ABL.vor");
  WriteBytes(
      save_.FileName,
      MonitorFile(Identity(), 300, {{0, "pO2", "", "", "kPa", ""}, {1, "pH", "", "", "", ""}},
                  Cat({DataPoint(1, 45000.3, 7.3), DataPoint(1, 45000.1, 7.1),
                       DataPoint(1, 45000.2, 7.2)})));
  // A late result, filed after later ones.
  EXPECT_TRUE(save_.AppendDataPoint(1, 45000.15, 7.15));
  save_.Refresh();
  ASSERT_EQ(save_.Items().size(), 3u);
  EXPECT_NE(dynamic_cast<TMonitorInfo*>(save_.Items()[0].get()), nullptr);
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  EXPECT_EQ(definitions[0]->Serie(), nullptr);
  ASSERT_NE(definitions[1]->Serie(), nullptr);
  EXPECT_EQ(XsOf(*definitions[1]->Serie()),
            (std::vector<double>{45000.1, 45000.15, 45000.2, 45000.3}));
  EXPECT_EQ(YsOf(*definitions[1]->Serie()), (std::vector<double>{7.1, 7.15, 7.2, 7.3}));
  EXPECT_TRUE(notices_.empty());
}

TEST_F(SaveItNewTest, PointsWithoutTheirDefinitionAreLeftOutAndReported) {
  Use("ABL.vor");
  // Index 5 in a file of two definitions; index 0 where position 1 holds index 3.
  WriteBytes(
      save_.FileName,
      MonitorFile(Identity(), 300, {{3, "pO2", "", "", "kPa", ""}, {1, "pH", "", "", "", ""}},
                  Cat({DataPoint(5, 45000.1, 1), DataPoint(1, 45000.2, 7.2),
                       DataPoint(0, 45000.3, 3), DataPoint(3, 45000.4, 4)})));
  save_.Refresh();
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 2u);
  EXPECT_EQ(definitions[0]->Serie(), nullptr);
  EXPECT_EQ(YsOf(*definitions[1]->Serie()), std::vector<double>{7.2});
  EXPECT_EQ(save_.LoadReport().undefined_points, 3);
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kUndefinedPoints);
  EXPECT_EQ(notices_[0].count, 3);
  EXPECT_EQ(notices_[0].text,
            save_.FileName + " holds 3 data points of undefined series; they were left out.");
  EXPECT_EQ(save_.LoadedFileName(), save_.FileName);
}

// ---------------------------------------------------------------------------
// A torn last record

class TornTailTest : public SaveItNewTest {
 protected:
  // The file as a power cut or a crash long ago left it: nothing has written it
  // for an hour, so a torn tail of it is nobody's unfinished write.
  void LeftAlone() const { SetModifiedAgo(save_.FileName, 3600); }
  // A file of two definitions and points, with records of other lengths among them.
  Bytes Whole() const {
    return MonitorFile(
        Identity(), 300, {{0, "pO2", "", "", "kPa", ""}, {1, "pH", "", "", "", ""}},
        Cat({DataPoint(0, 45000.1, 1),
             Record(85, Bytes().I16(0).F64(45000.15).F64(0)),  // a record delimiter
             Record(221, Bytes().I16(1).F64(45000.2).F64(7.2).U8(1).Str("V12").I32(2)),
             DataPoint(1, 45000.3, 7.3)}));
  }
};

TEST_F(TornTailTest, EveryWholePointLoadsAndTheTailIsReported) {
  for (const size_t torn : {1u, 7u, 8u, 10u, 25u}) {
    SCOPED_TRACE(torn);
    notices_.clear();
    Use("ABL.vor");
    const Bytes cut = DataPoint(1, 45000.4, 7.4);
    Bytes file = Whole();
    file.Raw(cut.vec().data(), torn);
    WriteBytes(save_.FileName, file);
    LeftAlone();
    save_.Refresh();
    const auto definitions = ItemsOf<TParameterSerie>(save_);
    ASSERT_EQ(definitions.size(), 2u);
    EXPECT_EQ(YsOf(*definitions[0]->Serie()), std::vector<double>{1});
    EXPECT_EQ(definitions[0]->Serie()->DataSet().ControlPoints().size(), 1u);
    EXPECT_EQ(YsOf(*definitions[1]->Serie()), (std::vector<double>{7.2, 7.3}));
    EXPECT_EQ(save_.LoadReport().torn_tail_bytes, static_cast<int64_t>(torn));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kTornTail);
    EXPECT_EQ(notices_[0].text, save_.FileName + " ends in an incomplete record of " +
                                    std::to_string(torn) + " bytes; it was left out.");
    // Loading changes nothing in the file.
    EXPECT_EQ(File(), file.vec());

    // The next point lands where the torn record began.
    EXPECT_TRUE(save_.AppendDataPoint(1, 45000.5, 7.5));
    EXPECT_EQ(File(), Cat({Whole(), DataPoint(1, 45000.5, 7.5)}).vec());
    ASSERT_EQ(notices_.size(), 2u);
    EXPECT_EQ(notices_[1].text, save_.FileName + " ended in an incomplete record of " +
                                    std::to_string(torn) + " bytes; it was removed from the file.");
    Reload();
    EXPECT_EQ(YsOf(*ItemsOf<TParameterSerie>(save_)[1]->Serie()),
              (std::vector<double>{7.2, 7.3, 7.5}));
    EXPECT_EQ(save_.LoadReport().torn_tail_bytes, 0);
  }
}

TEST_F(TornTailTest, AnAppendWithoutALoadFindsTheTailItself) {
  Use("ABL.vor");
  Bytes file = Whole();
  file.Raw(DataPoint(1, 45000.4, 7.4).vec().data(), 12);
  WriteBytes(save_.FileName, file);
  LeftAlone();
  EXPECT_TRUE(save_.AppendDataPoint(0, 45000.6, 6));
  EXPECT_EQ(File(), Cat({Whole(), DataPoint(0, 45000.6, 6)}).vec());
}

TEST_F(TornTailTest, ARecordCompletedByAnotherWriterIsKept) {
  Use("ABL.vor");
  const Bytes last = DataPoint(1, 45000.4, 7.4);
  Bytes file = Whole();
  file.Raw(last.vec().data(), 10);
  WriteBytes(save_.FileName, file);
  save_.Refresh();
  EXPECT_EQ(save_.LoadReport().torn_tail_bytes, 10);
  // The other writer's record was only half there when it was loaded.
  Bytes rest;
  rest.Raw(last.vec().data() + 10, 16);
  AppendBytes(save_.FileName, rest);
  EXPECT_TRUE(save_.AppendDataPoint(1, 45000.5, 7.5));
  EXPECT_EQ(File(), Cat({Whole(), last, DataPoint(1, 45000.5, 7.5)}).vec());
}

TEST_F(TornTailTest, ADefinitionLeavesTheTornTailBehind) {
  Use("ABL.vor");
  Bytes file = Whole();
  file.Raw(DataPoint(1, 45000.4, 7.4).vec().data(), 5);
  WriteBytes(save_.FileName, file);
  LeftAlone();
  Add({2, "pCO2", "", "", "kPa", ""});
  EXPECT_TRUE(save_.AppendDataPoint(2, 45000.5, 5.1));
  Reload();
  EXPECT_EQ(save_.LoadReport().torn_tail_bytes, 0);
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 3u);
  EXPECT_EQ(YsOf(*definitions[2]->Serie()), std::vector<double>{5.1});
  ASSERT_GE(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kTornTail);
  EXPECT_EQ(notices_[0].count, 5);
}

TEST_F(TornTailTest, ADefinitionAfterALoadTrustsItsEndOnlyWhileTheFileIsUnchanged) {
  // The end a load found serves the definition that follows; once another writer has
  // added to the file, the definition finds the end itself, keeping a whole point
  // that writer added and cutting off only its torn one.
  Use("ABL.vor");
  Bytes file = Whole();
  file.Raw(DataPoint(1, 45000.4, 7.4).vec().data(), 5);
  WriteBytes(save_.FileName, file);
  LeftAlone();
  save_.Refresh();
  notices_.clear();
  Add({2, "pCO2", "", "", "kPa", ""});
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kTornTail);
  EXPECT_EQ(notices_[0].count, 5);

  Reload();
  EXPECT_EQ(save_.LoadReport().torn_tail_bytes, 0);
  AppendBytes(save_.FileName, Cat({DataPoint(1, 45000.45, 7.45), Bytes().I32(220).I32(18).I16(1)}));
  LeftAlone();
  notices_.clear();
  Add({3, "sO2", "", "", "%", ""});
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].count, 10);
  Reload();
  EXPECT_EQ(save_.LoadReport().torn_tail_bytes, 0);
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 4u);
  EXPECT_EQ(YsOf(*definitions[1]->Serie()), (std::vector<double>{7.2, 7.3, 7.45}));
}

TEST_F(TornTailTest, DamageIsNotTakenForATornTail) {
  // A record claiming far more than a torn append could: the file is damaged, and
  // nothing of it is cut off; the load reports the damage as the reader does.
  Use("ABL.vor");
  Bytes file = Whole();
  file.I32(220).I32(1 << 20).I16(1);
  WriteBytes(save_.FileName, file);
  EXPECT_EQ(MessageOf<Exception>([&] { save_.Refresh(); }),
            "Exception:The file has been corrupted.");
  EXPECT_EQ(save_.LoadedFileName(), "");
  notices_.clear();
  EXPECT_TRUE(save_.AppendDataPoint(1, 45000.5, 7.5));
  EXPECT_EQ(File(), Cat({file, DataPoint(1, 45000.5, 7.5)}).vec());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kDamaged);
  EXPECT_EQ(notices_[0].count, static_cast<int64_t>(Whole().size()));
}

TEST_F(TornTailTest, ADamagedSizeIsReportedAndNothingIsCutOff) {
  // Records that run past the end of the file but are no torn append: whole records
  // follow them, or their kind is not appended, or their size is not their kind's.
  // The point goes at the end, after the damage; every byte before stays.
  const Bytes head = MonitorFile(Identity(), 300, {{0, "pO2", "", "", "kPa", ""}});
  const Bytes points = Cat({DataPoint(0, 45000.2, 2), DataPoint(0, 45000.3, 3)});
  const auto with_size = [](Bytes record, int32_t size) {
    std::memcpy(record.vec().data() + 4, &size, 4);
    return record;
  };
  struct Case {
    const char* what;
    Bytes file;
    size_t damage_at;
  };
  const Bytes damaged_point = with_size(DataPoint(0, 45000.1, 1), 1000);
  const size_t block_at = head.size() - 308;
  Bytes damaged_block = head;
  const int32_t block_size = 2000;
  std::memcpy(damaged_block.vec().data() + block_at + 4, &block_size, 4);
  const Case cases[] = {
      {"a point's size, whole points after it", Cat({head, damaged_point, points}), head.size()},
      {"the reserved block's size", Cat({damaged_block, points}), block_at},
      {"the last point's size, a little too long",
       Cat({head, points, with_size(DataPoint(0, 45000.4, 4), 30)}), head.size() + 52},
      {"a definition cut short", Cat({head, Bytes().I32(210).I32(80).I32(211)}), head.size()},
      {"an analyzer point whose vial id says otherwise",
       Cat({head, Bytes().I32(221).I32(40).I16(0).F64(45000.5).F64(5).U8(0).Str("VIAL")}),
       head.size()},
      // Sizes that fit within the file: a walk trusting them would step into or over
      // the records behind and blame another one, or none.
      {"a point's size, ending inside the next point",
       Cat({head, with_size(DataPoint(0, 45000.1, 1), 60), points}), head.size()},
      {"a point's size, covering the next point whole",
       Cat({head, points, with_size(DataPoint(0, 45000.1, 1), 44), DataPoint(0, 45000.4, 4)}),
       head.size() + 52},
      {"a record delimiter's size, short of its body",
       Cat({head, with_size(Record(85, Bytes().I16(0).F64(45000.15).F64(0)), 17), points}),
       head.size()},
      {"a video frame's size",
       Cat({head, points, with_size(Record(230, Bytes().F64(45000.4).I32(3)), 18), points}),
       head.size() + 52},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    notices_.clear();
    Use("ABL.vor");
    WriteBytes(save_.FileName, c.file);
    EXPECT_TRUE(save_.AppendDataPoint(0, 45000.6, 6));
    EXPECT_EQ(File(), Cat({c.file, DataPoint(0, 45000.6, 6)}).vec());
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kDamaged);
    EXPECT_EQ(notices_[0].count, static_cast<int64_t>(c.damage_at));
    EXPECT_EQ(notices_[0].text, save_.FileName + " is damaged: the record at byte " +
                                    std::to_string(c.damage_at) +
                                    " claims more bytes than the file holds. Nothing was removed.");
  }
}

TEST_F(TornTailTest, ATornRecordOfAnyAppendedKindIsCutOff) {
  // Records longer than a point: the next point no longer covers their bytes.
  const Bytes analyzer =
      Record(221, Bytes().I16(1).F64(45000.4).F64(7.4).U8(0).Str("VIAL12345").I32(1));
  const Bytes frame = Record(230, Bytes().F64(45000.4).I32(3));
  struct Case {
    const Bytes* record;
    size_t torn;
  };
  const Case cases[] = {{&analyzer, 2},  {&analyzer, 6},  {&analyzer, 27}, {&analyzer, 30},
                        {&analyzer, 40}, {&analyzer, 47}, {&frame, 3},     {&frame, 19}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.record->size()) + " bytes torn at " + std::to_string(c.torn));
    notices_.clear();
    Use("ABL.vor");
    Bytes file = Whole();
    file.Raw(c.record->vec().data(), c.torn);
    WriteBytes(save_.FileName, file);
    LeftAlone();
    save_.Refresh();
    EXPECT_EQ(save_.LoadReport().torn_tail_bytes, static_cast<int64_t>(c.torn));
    EXPECT_EQ(YsOf(*ItemsOf<TParameterSerie>(save_)[1]->Serie()), (std::vector<double>{7.2, 7.3}));
    EXPECT_TRUE(save_.AppendDataPoint(1, 45000.5, 7.5));
    EXPECT_EQ(File(), Cat({Whole(), DataPoint(1, 45000.5, 7.5)}).vec());
  }
}

TEST_F(TornTailTest, ATornTailIsCutAndReportedWhenThePointCannotBeWritten) {
  Use("ABL.vor");
  const Bytes analyzer =
      Record(221, Bytes().I16(1).F64(45000.4).F64(7.4).U8(0).Str("VIAL12345").I32(1));
  Bytes file = Whole();
  file.Raw(analyzer.vec().data(), 40);
  WriteBytes(save_.FileName, file);
  LeftAlone();
  {
    // The disk is full 10 bytes into the point.
    FileSizeLimit limit(Whole().size() + 10);
    EXPECT_FALSE(save_.AppendDataPoint(1, 45000.5, 7.5));
  }
  EXPECT_EQ(File(), Whole().vec());
  ASSERT_EQ(notices_.size(), 2u);
  EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kTornTail);
  EXPECT_EQ(notices_[0].count, 40);
  EXPECT_EQ(notices_[1].kind, TSaveNotice::Kind::kPointNotWritten);
  EXPECT_TRUE(save_.AppendDataPoint(1, 45000.5, 7.5));
  EXPECT_EQ(File(), Cat({Whole(), DataPoint(1, 45000.5, 7.5)}).vec());
}

TEST_F(TornTailTest, AnAppendAfterAnotherProgramRewroteTheFileInPlaceKeepsEveryPoint) {
  // Gasbridge appends to its file and learns where it ends.
  Use("ABL.vor");
  Open();
  Add({0, "pH", "", "", "", ""});
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(save_.AppendDataPoint(0, 45000 + i, 7));
  const size_t learnt_end = File().size();

  // Another program copies another valid file of the patient over it, in place
  // (same file, larger). Its layout puts Gasbridge's old end 22 bytes into its
  // second-to-last point, where the next point's tag reads as a small size.
  const std::vector<Definition> definitions = {{0, "pH", "", "", "", ""},
                                               {1, "pO2", "arterial", "", "kPa", ""}};
  const int points = 6;
  const size_t base = MonitorFile(Identity(), 0, definitions).size();
  const size_t first_point = learnt_end - 22 - 26 * (points - 2);
  ASSERT_GT(first_point, base);
  Bytes copied_points;
  for (int i = 0; i < points; ++i)
    copied_points.Append(DataPoint(i % 2, 45001 + i, 10 + i));
  const Bytes other =
      MonitorFile(Identity(), static_cast<int32_t>(first_point - base), definitions, copied_points);
  const auto before = platform::GetFileStamp(save_.FileName);
  WriteBytes(save_.FileName, other);
  ASSERT_TRUE(before->SameFile(*platform::GetFileStamp(save_.FileName)));
  ASSERT_GT(other.size(), learnt_end);

  notices_.clear();
  EXPECT_TRUE(save_.AppendDataPoint(1, 45010, 20));
  EXPECT_EQ(File(), Cat({other, DataPoint(1, 45010, 20)}).vec());
  EXPECT_TRUE(notices_.empty());
  Reload();
  const auto loaded = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(YsOf(*loaded[0]->Serie()), (std::vector<double>{10, 12, 14}));
  EXPECT_EQ(YsOf(*loaded[1]->Serie()), (std::vector<double>{11, 13, 15, 20}));
}

TEST_F(TornTailTest, AnAppendAfterAnotherWriterAddedWalksOnlyWhatItAdded) {
  // The learnt last record is still there: the points another writer added after
  // it are kept, its torn one is cut.
  Use("ABL.vor");
  Open();
  Add({0, "pH", "", "", "", ""});
  EXPECT_TRUE(save_.AppendDataPoint(0, 45000, 7));
  const std::vector<uint8_t> mine = File();
  const Bytes added = Cat({DataPoint(0, 45001, 8), DataPoint(0, 45002, 9)});
  AppendBytes(save_.FileName, Cat({added, Bytes().I32(220).I32(18).I16(0)}));
  LeftAlone();
  notices_.clear();
  EXPECT_TRUE(save_.AppendDataPoint(0, 45003, 10));
  Bytes expected;
  expected.Raw(mine.data(), mine.size());
  EXPECT_EQ(File(), Cat({expected, added, DataPoint(0, 45003, 10)}).vec());
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].count, 10);
}

TEST_F(TornTailTest, ACopyOverTheLiveFileKeepsEveryPointOfTheCopy) {
  // Gasbridge files into its file.
  Use("ABL.vor");
  Open();
  Add({0, "pH", "", "", "", ""});
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(save_.AppendDataPoint(0, 45000 + i, 7));

  // A program that ignores the writers' lock copies a larger file of the patient
  // over it; its first chunk ends 20 bytes into a point.
  Bytes copied_points;
  for (int i = 0; i < 8; ++i)
    copied_points.Append(DataPoint(0, 45001 + i, 10 + i));
  const Bytes copy = MonitorFile(Identity(), 500, {{0, "pH", "", "", "", ""}}, copied_points);
  const size_t chunk = copy.size() - 3 * 26 + 20;
  const int fd = ::open(save_.FileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, copy.vec().data(), chunk), static_cast<ssize_t>(chunk));

  notices_.clear();
  EXPECT_FALSE(save_.AppendDataPoint(0, 45010, 20));
  ASSERT_EQ(notices_.size(), 1u);
  EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kPointNotWritten);
  EXPECT_EQ(notices_[0].text, "A data point of series 0 was not written to " + save_.FileName +
                                  ": The file ends in an incomplete record of 20 bytes that "
                                  "another program may still be writing; nothing was cut off.");

  // The copy goes on where its chunk ended, and finishes.
  const size_t rest = copy.size() - chunk;
  ASSERT_EQ(::write(fd, copy.vec().data() + chunk, rest), static_cast<ssize_t>(rest));
  ::close(fd);
  EXPECT_EQ(File(), copy.vec());
  Reload();
  EXPECT_EQ(save_.LoadReport().torn_tail_bytes, 0);
  EXPECT_EQ(YsOf(*ItemsOf<TParameterSerie>(save_)[0]->Serie()),
            (std::vector<double>{10, 11, 12, 13, 14, 15, 16, 17}));
}

TEST_F(TornTailTest, ATornTailNotItsOwnIsCutOnlyOnceTheFileWasLeftAloneLongerThanTheBound) {
  // Modified 30 seconds ago, the file may still be in another program's hands: the
  // point, or the definition, is refused and nothing is cut. A second more, and the
  // tail is an interrupted write of long ago.
  ASSERT_EQ(save_file::kTornTailQuietSeconds, 30);
  const std::string in_use =
      "The file ends in an incomplete record of 20 bytes that another program may still be "
      "writing; nothing was cut off.";
  for (const bool definition : {false, true}) {
    for (const int64_t age : {30, 31}) {
      SCOPED_TRACE(std::string(definition ? "a definition" : "a point") + ", modified " +
                   std::to_string(age) + " s ago");
      notices_.clear();
      Use("ABL.vor");
      Bytes file = Whole();
      file.Raw(DataPoint(1, 45000.4, 7.4).vec().data(), 20);
      WriteBytes(save_.FileName, file);
      SetModifiedAgo(save_.FileName, age);
      const bool cut = age > 30;
      if (definition) {
        const std::string raised = MessageOf<Exception>([&] {
          Add({2, "pCO2", "", "", "kPa", ""});
        });
        EXPECT_EQ(raised, cut ? "(none)" : in_use);
      } else {
        EXPECT_EQ(save_.AppendDataPoint(1, 45000.5, 7.5), cut);
      }
      if (!cut) {
        EXPECT_EQ(File(), file.vec());
        if (!definition) {
          ASSERT_EQ(notices_.size(), 1u);
          EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kPointNotWritten);
          EXPECT_EQ(notices_[0].text, "A data point of series 1 was not written to " +
                                          save_.FileName + ": " + in_use);
        }
        continue;
      }
      ASSERT_EQ(notices_.size(), 1u);
      EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kTornTail);
      EXPECT_EQ(notices_[0].count, 20);
      Reload();
      EXPECT_EQ(save_.LoadReport().torn_tail_bytes, 0);
    }
  }
}

TEST(SaveFileTest, TheQuietBoundCountsWholeSecondsOnTheRealClock) {
  constexpr int64_t kSecond = 1000000000;
  constexpr int64_t kModified = 1700000000 * kSecond;
  constexpr int64_t kBound = save_file::kTornTailQuietSeconds;
  EXPECT_FALSE(save_file::QuietSince(kModified, kModified + kBound * kSecond));
  EXPECT_FALSE(save_file::QuietSince(kModified, kModified + (kBound + 1) * kSecond - 1));
  EXPECT_TRUE(save_file::QuietSince(kModified, kModified + (kBound + 1) * kSecond));
  // A modification time ahead of the clock (the clock set back) is recent.
  EXPECT_FALSE(save_file::QuietSince(kModified, kModified - 3600 * kSecond));
}

TEST_F(TornTailTest, ItsOwnFailedAppendIsCutAtOnceWhileNothingElseTouchedTheFile) {
  // The disk fails 10 bytes into a point, and the bytes that got in cannot be taken
  // back. The next append knows them for its own and cuts them at once, though the
  // file was modified just now; once another program has touched the file, they
  // could be that program's, and the point is refused.
  for (const bool touched : {false, true}) {
    SCOPED_TRACE(touched ? "touched since" : "untouched");
    Use(touched ? "touched.vor" : "own.vor");
    Open();
    Add({0, "pH", "", "", "", ""});
    EXPECT_TRUE(save_.AppendDataPoint(0, 45000, 7));
    const std::vector<uint8_t> before = File();
    {
      FileSizeLimit limit(before.size() + 10);
      TruncateFails() = true;
      EXPECT_FALSE(save_.AppendDataPoint(0, 45001, 8));
      TruncateFails() = false;
    }
    ASSERT_EQ(File().size(), before.size() + 10);
    if (touched) SetModifiedAgo(save_.FileName, 0);
    notices_.clear();
    EXPECT_EQ(save_.AppendDataPoint(0, 45002, 9), !touched);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].kind,
              touched ? TSaveNotice::Kind::kPointNotWritten : TSaveNotice::Kind::kTornTail);
    EXPECT_NE(notices_[0].text.find("incomplete record of 10 bytes"), std::string::npos);
    Bytes expected;
    expected.Raw(before.data(), before.size());
    if (touched) {
      expected.Raw(File().data() + before.size(), 10);
    } else {
      expected.Append(DataPoint(0, 45002, 9));
    }
    EXPECT_EQ(File(), expected.vec());
  }
}

TEST_F(TornTailTest, DamageMadeInPlaceAfterAnAppendIsReportedAtTheNextOne) {
  // The component learnt the file at its last append. Another program then damages
  // a point's size in the middle: with the file as it was, or adding a point as
  // well, with Gasbridge's open check of a file beyond its head in between.
  struct Case {
    const char* what;
    int points;
    bool added_and_checked;
  };
  const Case cases[] = {{"in place only, 5.9 KB", 200, false},
                        {"a point added too, checked, over 64 KiB", 2600, true}};
  const Bytes head = MonitorFile(Identity(), 500, {{0, "pH", "", "", "", ""}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use(std::string(c.added_and_checked ? "checked" : "alone") + ".vor");
    Bytes points;
    for (int i = 0; i < c.points; ++i)
      points.Append(DataPoint(0, 45000 + i, 7));
    WriteBytes(save_.FileName, Cat({head, points}));
    Open();
    EXPECT_TRUE(save_.AppendDataPoint(0, 46000, 7));
    const size_t damaged = head.size() + 26 * static_cast<size_t>(c.points / 2);
    WriteBytesAt(save_.FileName, damaged + 4, Bytes().I32(60));
    if (c.added_and_checked) {
      AppendBytes(save_.FileName, DataPoint(0, 46001, 7));
      Open();
    }
    notices_.clear();
    EXPECT_TRUE(save_.AppendDataPoint(0, 46002, 7));
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kDamaged);
    EXPECT_EQ(notices_[0].count, static_cast<int64_t>(damaged));
  }
}

TEST_F(TornTailTest, AnAnalyzerPointIsTornOnlyUpToTheLongestAppendedRecord) {
  // A torn analyzer point whose size is exactly the bound is cut off; one stating a
  // byte more is a damaged size: reported, and nothing cut. Torn where two bytes of
  // the size are there, where the whole size is, and where the vial id's length is.
  const auto analyzer = [](int32_t size) {
    // Index, two doubles and a byte, the id's length and character size, the id,
    // the attempt number: 31 bytes beyond the id's text.
    return Record(221, Bytes()
                           .I16(1)
                           .F64(45000.4)
                           .F64(7.4)
                           .U8(0)
                           .Str(std::string(static_cast<size_t>(size - 31), 'V'))
                           .I32(1));
  };
  constexpr int32_t kLimit = save_file::kLongestAppendedRecord;
  ASSERT_EQ(kLimit, 4096);
  for (const int32_t size : {kLimit, kLimit + 1}) {
    const Bytes record = analyzer(size);
    ASSERT_EQ(record.size(), static_cast<size_t>(size) + 8);
    for (const size_t torn : {6u, 8u, 40u}) {
      SCOPED_TRACE("size " + std::to_string(size) + ", torn at " + std::to_string(torn));
      notices_.clear();
      Use("ABL.vor");
      Bytes file = Whole();
      file.Raw(record.vec().data(), torn);
      WriteBytes(save_.FileName, file);
      LeftAlone();
      EXPECT_TRUE(save_.AppendDataPoint(1, 45000.5, 7.5));
      ASSERT_EQ(notices_.size(), 1u);
      if (size <= kLimit) {
        EXPECT_EQ(File(), Cat({Whole(), DataPoint(1, 45000.5, 7.5)}).vec());
        EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kTornTail);
        EXPECT_EQ(notices_[0].count, static_cast<int64_t>(torn));
      } else {
        EXPECT_EQ(File(), Cat({file, DataPoint(1, 45000.5, 7.5)}).vec());
        EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kDamaged);
        EXPECT_EQ(notices_[0].count, static_cast<int64_t>(Whole().size()));
      }
    }
  }
}

TEST_F(TornTailTest, ALastRecordUpToTheLongestKeptIsLearntAndSparesTheNextAppendAWalk) {
  // The last record is the reserved block. At 64 KiB in all (its tag and size
  // included) the load keeps it for the check, and the next append reads nothing of
  // the unchanged file; a byte longer, and the append reads the whole file again.
  constexpr int32_t kLongestKept = 64 * 1024;
  for (const int32_t record : {kLongestKept, kLongestKept + 1}) {
    SCOPED_TRACE(record);
    Use("ABL.vor");
    const Bytes file = MonitorFile(Identity(), record - 8, {{0, "pH", "", "", "", ""}});
    WriteBytes(save_.FileName, file);
    save_.Refresh();
    ASSERT_EQ(ItemsOf<TParameterSerie>(save_).size(), 1u);
    BytesRead() = 0;
    EXPECT_TRUE(save_.AppendDataPoint(0, 45000, 7));
    EXPECT_EQ(BytesRead(), record <= kLongestKept ? 0 : static_cast<int64_t>(file.size()));
    EXPECT_EQ(File(), Cat({file, DataPoint(0, 45000, 7)}).vec());
  }
}

TEST_F(TornTailTest, ARecordShorterThanItsPointAddsNothing) {
  // Each short record stands between whole points; the load ends with the reader's
  // error, and what it loaded before holds no point made of the bytes after it.
  struct Case {
    const char* what;
    Bytes record;
  };
  const Case cases[] = {
      {"a data point", Record(220, Bytes().I16(0).F64(45000.2))},
      {"a record delimiter", Record(85, Bytes().I16(0).F64(45000.2))},
      {"an analyzer point without its attempt",
       Record(221, Bytes().I16(0).F64(45000.2).F64(2).U8(0).Str("V1"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use("ABL.vor");
    WriteBytes(save_.FileName,
               MonitorFile(Identity(), 300, {{0, "pH", "", "", "", ""}},
                           Cat({DataPoint(0, 45000.1, 1), c.record, DataPoint(0, 45000.3, 3)})));
    EXPECT_EQ(MessageOf<Exception>([&] { Reload(); }), "Exception:The file has been corrupted.");
    const auto definitions = ItemsOf<TParameterSerie>(save_);
    ASSERT_EQ(definitions.size(), 1u);
    ASSERT_NE(definitions[0]->Serie(), nullptr);
    EXPECT_EQ(YsOf(*definitions[0]->Serie()), std::vector<double>{1});
    EXPECT_TRUE(definitions[0]->Serie()->DataSet().ControlPoints().empty());
  }
}

TEST_F(SaveItNewTest, APointIsNeverAppendedToAFileWithoutTheHeader) {
  struct Case {
    const char* what;
    Bytes file;
  };
  const Case cases[] = {
      {"an empty file", Bytes()},
      {"a text", Bytes().Text("Berg, Anna\r\n")},
      {"a data file of an old version", DataFile(Record(3, IntField(2, 8)), "1.1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    notices_.clear();
    Use("ABL.vor");
    WriteBytes(save_.FileName, c.file);
    EXPECT_FALSE(save_.AppendDataPoint(0, 45000, 1));
    EXPECT_EQ(File(), c.file.vec());
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_EQ(notices_[0].kind, TSaveNotice::Kind::kPointNotWritten);
    EXPECT_EQ(notices_[0].text, "A data point of series 0 was not written to " + save_.FileName +
                                    ": The file is empty or no monitor-data file.");
  }
  // A file this component tried to load first: what that load learnt is no licence.
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("loaded first: ") + c.what);
    Use("loaded.vor");
    WriteBytes(save_.FileName, c.file);
    try {
      save_.Refresh();
    } catch (const std::exception&) {
    }
    EXPECT_FALSE(save_.AppendDataPoint(0, 45000, 1));
    EXPECT_EQ(File(), c.file.vec());
  }
  // A file this component made and another program emptied.
  Use("made.vor");
  Open();
  WriteBytes(save_.FileName, Bytes());
  EXPECT_FALSE(save_.AppendDataPoint(0, 45000, 1));
  EXPECT_TRUE(File().empty());
}

// ---------------------------------------------------------------------------
// Another writer at the same moment

TEST_F(SaveItNewTest, AHeaderVersionNumberIsReadUpTo9999999) {
  // Up to that number the file is walked and gets its point; above it the file is
  // taken for none of the current header, and gets none.
  for (const bool read : {true, false}) {
    const char* version = read ? "2.9999999" : "2.10000000";
    SCOPED_TRACE(version);
    notices_.clear();
    Use("ABL.vor");
    const Bytes file = DataFile(Record(3, Cat({IntField(2, 8), IntField(30, 0)})), version);
    WriteBytes(save_.FileName, file);
    EXPECT_EQ(save_.AppendDataPoint(0, 45000, 1), read);
    EXPECT_EQ(File(), (read ? Cat({file, DataPoint(0, 45000, 1)}) : file).vec());
    EXPECT_EQ(notices_.size(), read ? 0u : 1u);
  }
}

TEST_F(SaveItNewTest, AnAppendGoesIntoTheFileADefinitionPutInPlaceMeanwhile) {
  Use("ABL.vor");
  Open();
  Add({0, "pH", "", "", "", ""});
  // Another component writes a definition right after the append opened the file:
  // it replaces the file, and the file the append opened has no name any more.
  TSaveItNew other(nullptr);
  other.FileName = save_.FileName;
  TParameterSerie definition;
  definition.Index = 1;
  definition.ParameterInfo().SetParameterName("pO2");
  BeforeNextLock() = [&] { other.AddParameterSerie(definition); };
  EXPECT_TRUE(save_.AppendDataPoint(0, 45000.5, 7.4));
  EXPECT_FALSE(BeforeNextLock());
  Reload();
  const auto definitions = ItemsOf<TParameterSerie>(save_);
  ASSERT_EQ(definitions.size(), 2u);
  ASSERT_NE(definitions[0]->Serie(), nullptr);
  EXPECT_EQ(YsOf(*definitions[0]->Serie()), std::vector<double>{7.4});
}

TEST_F(SaveItNewTest, AFileAnotherProcessCreatedFirstIsChecked) {
  // Another process creates the file after this one found no file and before its
  // own new file takes the name: that file is checked as any existing one.
  Identity other_patient;
  other_patient.patient_id = "654321-0987";
  struct Case {
    const char* what;
    Identity creator;
    const char* message;
  };
  const Case cases[] = {
      {"the same patient", Identity(), "(none)"},
      {"another patient", other_patient, "Exception:The existing file does not match!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use(std::string("ABL-") + c.creator.patient_id + ".vor");
    int changed = 0;
    save_.OnFileStructureChanged = [&changed](const std::string&) { ++changed; };
    // The new file's temporary file is locked when it has been made.
    BeforeNextLock() = [&] {
      const pid_t child = ::fork();
      if (child == 0) {
        try {
          TSaveItNew creator(nullptr);
          creator.FileName = save_.FileName;
          creator.OpenMonitorFile(c.creator.monitor, c.creator.detail, c.creator.patient_id,
                                  c.creator.patient_name);
        } catch (...) {
          ::_exit(1);
        }
        ::_exit(0);
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    };
    EXPECT_EQ(MessageOf<Exception>([&] { Open(); }), c.message);
    EXPECT_FALSE(BeforeNextLock());
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(File(), MonitorFile(c.creator, 500).vec());
    ASSERT_EQ(ItemsOf<TMonitorInfo>(save_).size(), 1u);
    EXPECT_EQ(ItemsOf<TMonitorInfo>(save_)[0]->PatientId, c.creator.patient_id);
  }
  EXPECT_EQ(EntryCount(folder_.path()), 2u);  // no temporary file stays
}

TEST_F(SaveItNewTest, ALeftoverOfAKilledSaveGoesAndALiveSavesFileStays) {
  Use("ABL.vor");
  Open();
  // A save that a crash cut short (its process is gone), and one in progress in
  // this process (its lock held).
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string leftover = PathOf(".~ABL.vor." + std::to_string(gone) + ".a1B2c3");
  const std::string live = PathOf(".~ABL.vor." + std::to_string(::getpid()) + ".d4E5f6");
  WriteBytes(leftover, Bytes().Text("old copy"));
  WriteBytes(live, Bytes().Text("in progress"));
  const int live_fd = ::open(live.c_str(), O_RDONLY);
  ASSERT_EQ(::syscall(SYS_flock, live_fd, LOCK_EX), 0);
  Add({0, "pH", "", "", "", ""});
  EXPECT_FALSE(platform::EntryExists(leftover));
  EXPECT_TRUE(platform::EntryExists(live));
  ::close(live_fd);
}

// ---------------------------------------------------------------------------
// Reloading

TEST_F(SaveItNewTest, AnUnchangedFileIsReadOnceAndAChangedOneAgain) {
  Use("ABL.vor");
  WriteBytes(save_.FileName, MonitorFile(Identity(), 300, {{0, "pH", "", "", "", ""}},
                                         Cat({DataPoint(0, 45000.1, 7.1)})));
  save_.Refresh();
  // A mark on the loaded items tells whether a Refresh loaded the file again.
  const auto mark = [this] {
    dynamic_cast<TMonitorInfo&>(*save_.Items()[0]).MonitorDetail = "mark";
  };
  const auto marked = [this] {
    return dynamic_cast<TMonitorInfo&>(*save_.Items()[0]).MonitorDetail == "mark";
  };
  mark();
  EXPECT_EQ(save_.LoadedFileName(), save_.FileName);
  const auto stamp = platform::GetFileStamp(save_.FileName);
  EXPECT_DOUBLE_EQ(save_.LoadedFileDate(), platform::FileDateOf(*stamp));
  save_.Refresh();
  EXPECT_TRUE(marked());  // not loaded again

  // A new modification time, a nanosecond apart, with the same size.
  const int64_t ns = stamp->modified_ns + 1;
  const timespec times[2] = {
      {0, UTIME_OMIT}, {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)}};
  ASSERT_EQ(::utimensat(AT_FDCWD, save_.FileName.c_str(), times, 0), 0);
  save_.Refresh();
  EXPECT_FALSE(marked());

  // An appended point.
  mark();
  EXPECT_TRUE(save_.AppendDataPoint(0, 45000.2, 7.2));
  save_.Refresh();
  EXPECT_FALSE(marked());
  EXPECT_EQ(YsOf(*ItemsOf<TParameterSerie>(save_)[0]->Serie()), (std::vector<double>{7.1, 7.2}));

  // Another file under the same name, of the same size.
  mark();
  platform::WriteFileAtomically(save_.FileName, File().data(), File().size());
  save_.Refresh();
  EXPECT_FALSE(marked());

  // Another name; then the file is gone.
  Use("ABL1.vor");
  Open();
  save_.Refresh();
  EXPECT_EQ(ItemsOf<TParameterSerie>(save_).size(), 0u);
  std::filesystem::remove(save_.FileName);
  save_.Refresh();
  EXPECT_TRUE(save_.Items().empty());
  EXPECT_EQ(save_.LoadedFileName(), "");
  EXPECT_EQ(save_.FileType(), ftUnknown);
}

TEST_F(SaveItNewTest, AChecksumMismatchIsShownAndTheLoadCompletes) {
  platform::ScopedScriptedDialogs dialogs;
  // A checksummed file with an axis record whose check byte is wrong.
  Bytes axis = Bytes().I32(5).I32(13).Append(IntField(124, 1)).U8(0);
  Bytes body = Bytes().I32(9).Str("*QOR Fluvantronics Save File Header 2.0").Append(axis);
  Bytes file = Bytes().I32(1).I32(static_cast<int32_t>(body.size() + 1)).Append(body);
  file.U8(file.Sum());
  Use("plot.dat");
  WriteBytes(save_.FileName, file);
  save_.Refresh();
  ASSERT_EQ(dialogs->questions().size(), 1u);
  EXPECT_EQ(dialogs->questions()[0].kind, platform::ScriptedDialogs::Kind::kShowMessage);
  EXPECT_EQ(dialogs->questions()[0].text, save_.FileName + " has a checksum error.");
  EXPECT_TRUE(save_.LoadReport().checksum_error);
  ASSERT_EQ(save_.HorizontalAxes().size(), 1u);
  EXPECT_EQ(save_.HorizontalAxes()[0]->Kind(), akValue);
  EXPECT_EQ(save_.LoadedFileName(), save_.FileName);
}

// ---------------------------------------------------------------------------
// The definition records

TEST(ParameterSerieTest, AssigningCopiesTheDefinitionAndNeverTheSeries) {
  RegisterWithStandIns();
  TParameterSerie source;
  source.Index = 4;
  source.Unit = "kPa";
  source.ParameterInfo().SetParameterName("  pO2 ");
  source.ParameterInfo().SetMeasurementPlace("Arterial");
  source.SetSerie(std::make_unique<TSerie>(nullptr));

  TParameterSerie copy;
  copy.Assign(source);
  EXPECT_EQ(copy.Index, 4);
  EXPECT_EQ(copy.Unit, "kPa");
  EXPECT_EQ(copy.ParameterInfo().ParameterName(), "pO2");
  EXPECT_EQ(copy.ParameterInfo().DisplayName(), "pO2");
  EXPECT_EQ(copy.ParameterInfo().MeasurementPlace(), "Arterial");
  EXPECT_EQ(copy.Serie(), nullptr);

  // A target's own series stays its own.
  TParameterSerie target;
  target.SetSerie(std::make_unique<TSerie>(nullptr));
  TSerie* own = target.Serie();
  target.Assign(source);
  EXPECT_EQ(target.Serie(), own);
  EXPECT_NE(target.Serie(), source.Serie());

  EXPECT_EQ(source.CopyDefinition()->Serie(), nullptr);
  EXPECT_EQ(source.CopyDefinition()->Index, 4);

  TUniquePatientInformation other;
  EXPECT_EQ(MessageOf<EConvertError>([&] { other.Assign(source); }),
            "Cannot assign a TParameterSerie to a TUniquePatientInformation");
}

TEST(SaveItNewPropertiesTest, AboutAndTheCategoryPool) {
  TSaveItNew save(nullptr);
  EXPECT_EQ(save.About(), "Project: Vorta (TarvoCollect)  Version: 1.0");
  save.SetAbout("x");
  EXPECT_EQ(save.About(), "Project: Vorta (TarvoCollect)  Version: 1.0");
  EXPECT_EQ(save.MinimumReservedSpaceForMonitorParameters, 500);
  EXPECT_FALSE(save.IsReadOnly);
  EXPECT_EQ(save.FileType(), ftUnknown);
  TComponent pool(nullptr);
  TComponent other(nullptr);
  save.SetCategorizationPool(&pool);
  save.ComponentRemoved(&other);
  EXPECT_EQ(save.CategorizationPool(), &pool);
  save.ComponentRemoved(&pool);
  EXPECT_EQ(save.CategorizationPool(), nullptr);
}

}  // namespace
