#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/date_time.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/tests/as_user.h"
#include "platform/tests/message_of.h"
#include "platform/tests/temp_folder.h"

namespace {

class FilesTest : public ::testing::Test {
 protected:
  platform_test::TempFolder folder_{"files_test"};
  const std::string& dir_ = folder_.path();
  void Touch(const std::string& name) { std::ofstream(dir_ + "/" + name) << "x"; }
};

TEST_F(FilesTest, ExistenceOfFilesAndFolders) {
  Touch("file");
  EXPECT_TRUE(platform::FileExists(dir_ + "/file"));
  EXPECT_FALSE(platform::DirectoryExists(dir_ + "/file"));
  EXPECT_TRUE(platform::DirectoryExists(dir_));
  EXPECT_FALSE(platform::FileExists(dir_));
  EXPECT_TRUE(platform::EntryExists(dir_));
  EXPECT_FALSE(platform::EntryExists(dir_ + "/none"));
  EXPECT_FALSE(platform::EntryExists(""));
}

TEST_F(FilesTest, BackslashesSeparateFolders) {
  ASSERT_TRUE(platform::CreateDir(dir_ + "\\DATA"));
  EXPECT_TRUE(platform::DirectoryExists(dir_ + "/DATA"));
  EXPECT_FALSE(platform::CreateDir(dir_ + "/DATA"));                  // exists already
  EXPECT_FALSE(platform::CreateDir(dir_ + "/none/deeper"));           // no parent
  EXPECT_EQ(platform::ToOsPath("C\\ZQT\\\xC5r"), "C/ZQT/\xC3\x85r");  // UTF-8 names
}

TEST_F(FilesTest, FindNoCaseMatchesAsWindowsDoes) {
  Touch("Patient");
  Touch("abl.VOR");
  Touch("\xC3\x85sa");  // "Åsa" as the file system stores it
  struct Case {
    const char* asked;
    const char* found;  // nullptr: no match
  };
  const Case cases[] = {
      {"PATIENT.", "Patient"}, {"patient", "Patient"}, {"PATIENT..", "Patient"},
      {"ABL.vor", "abl.VOR"},  {"\xE5SA", "\xC5sa"},  // Windows-1252 å and Å
      {"PATIEN", nullptr},     {".", nullptr},         {"../x", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    const auto found = platform::FindNoCase(dir_, c.asked);
    if (!c.found) {
      EXPECT_FALSE(found.has_value());
    } else {
      ASSERT_TRUE(found.has_value());
      EXPECT_EQ(*found, dir_ + "/" + c.found);
    }
  }
  // An exact match wins over others that differ in case.
  Touch("PATIENT");
  EXPECT_EQ(platform::FindNoCase(dir_, "PATIENT"), dir_ + "/PATIENT");
}

TEST_F(FilesTest, ALookUpThatLeadsToAWriteNeverTakesAFailureForAMissingFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to look up as another user";
  // Each folder as user 65534 meets it: one that may be entered but not listed
  // (0333), one that may be listed but not entered (0666), an ordinary one.
  struct Case {
    const char* folder;
    mode_t mode;
    const char* entry;    // its one entry; nullptr: the folder does not exist
    bool no_descriptors;  // the process has no file descriptor left
    std::string found;    // the entry found, or what was raised
  };
  const std::string d = dir_ + "/";
  const std::vector<Case> cases = {
      {"written", 0333, "Patient", false, d + "written/Patient"},
      {"asked", 0333, "PATIENT.", false, d + "asked/PATIENT."},
      {"other", 0333, "PATIENT", false, "Cannot list folder \"" + d + "other\". Permission denied"},
      {"closed", 0666, "Patient", false,
       "Cannot open file \"" + d + "closed/PATIENT.\". Permission denied"},
      {"missing", 0, nullptr, false, "nothing"},
      {"listed", 0755, "pAtIeNt", false, d + "listed/pAtIeNt"},
      {"none", 0755, "Patients", false, "nothing"},
      {"written", 0333, "Patient", true, d + "written/Patient"},
      {"listed", 0755, "pAtIeNt", true,
       "Cannot list folder \"" + d + "listed\". Too many open files"},
  };
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
  for (const Case& c : cases) {
    if (!c.entry || platform::DirectoryExists(d + c.folder)) continue;
    ASSERT_TRUE(platform::CreateDir(d + c.folder));
    std::ofstream(d + c.folder + "/" + c.entry) << "x";
    ASSERT_EQ(::chmod((d + c.folder).c_str(), c.mode), 0);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.folder) + (c.no_descriptors ? ", no descriptors" : ""));
    const std::string seen =
        platform_test::RunAs(platform_test::kNobody, platform_test::kNogroup, [&] {
          try {
            std::optional<platform_test::TNoDescriptorsLeft> none;
            if (c.no_descriptors && !none.emplace().Exhausted()) return std::string("?");
            return platform::FindNoCaseOrRaise(d + c.folder, "PATIENT.", "Patient")
                .value_or("nothing");
          } catch (const EFOpenError& error) {
            return std::string(error.what());
          }
        });
    EXPECT_EQ(seen, c.found);
  }
}

}  // namespace

namespace {

using platform_test::MessageOf;

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

size_t EntryCount(const std::string& dir) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
    ++count;
  return count;
}

TEST_F(FilesTest, CreateFileExclusivelyNeverReplaces) {
  const std::string path = dir_ + "/new.vor";
  ASSERT_TRUE(platform::CreateFileExclusively(path, "abc", 3));
  EXPECT_EQ(Contents(path), "abc");
  // The name is taken (by a file or a folder): nothing is written, and no
  // temporary file stays behind.
  EXPECT_FALSE(platform::CreateFileExclusively(path, "other", 5));
  EXPECT_EQ(Contents(path), "abc");
  ASSERT_TRUE(platform::CreateDir(dir_ + "/folder"));
  EXPECT_FALSE(platform::CreateFileExclusively(dir_ + "/folder", "x", 1));
  EXPECT_EQ(EntryCount(dir_), 2u);

  // A new file gets the mode any new file gets, not the temporary file's.
  const mode_t mask = ::umask(022);
  const bool created = platform::CreateFileExclusively(dir_ + "/second", "", 0);
  ::umask(mask);
  ASSERT_TRUE(created);
  EXPECT_EQ(std::filesystem::status(dir_ + "/second").permissions(), std::filesystem::perms(0644));

  const std::string missing = dir_ + "/none/x";
  EXPECT_EQ(MessageOf<EFCreateError>([&] { platform::CreateFileExclusively(missing, "x", 1); }),
            "Cannot create file \"" + missing + "\". No such file or directory");
}

TEST_F(FilesTest, StampsTellEveryChangeApart) {
  const std::string path = dir_ + "/f";
  EXPECT_FALSE(platform::GetFileStamp(path).has_value());
  std::ofstream(path) << "12345";
  const auto first = platform::GetFileStamp(path);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->size, 5);
  EXPECT_EQ(platform::GetFileStamp(path), first);

  // The same size, a modification time one nanosecond later: a change that a time
  // of seconds would miss.
  const auto set_modified = [&](int64_t ns) {
    const timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  set_modified(1700000000LL * 1000000000 + 5);
  const auto before = platform::GetFileStamp(path);
  set_modified(1700000000LL * 1000000000 + 6);
  const auto after = platform::GetFileStamp(path);
  EXPECT_EQ(after->size, before->size);
  EXPECT_TRUE(after->SameFile(*before));
  EXPECT_NE(after, before);
  // A longer file.
  std::ofstream(path, std::ios::app) << "6";
  EXPECT_EQ(platform::GetFileStamp(path)->size, 6);

  // Another file under the same name.
  platform::WriteFileAtomically(path, "abcdef", 6);
  const auto replaced = platform::GetFileStamp(path);
  EXPECT_FALSE(replaced->SameFile(*first));
  EXPECT_EQ(replaced->size, 6);

  // The file date is the modification time in local time, to the millisecond.
  const double date = platform::FileDateOf(*replaced);
  EXPECT_NEAR(date, platform::Now(), 60.0 / 86400);
}

TEST_F(FilesTest, WritingTakesTheWritersLockAndNeverCreates) {
  const std::string path = dir_ + "/data";
  EXPECT_EQ(MessageOf<EFOpenError>(
                [&] { platform::OpenedFile(path, platform::OpenedFile::Mode::kWriteLocked); }),
            "Cannot open file \"" + path + "\". No such file or directory");
  EXPECT_EQ(EntryCount(dir_), 0u);

  std::ofstream(path) << "0123456789";
  platform::OpenedFile writer(path, platform::OpenedFile::Mode::kWriteLocked);
  // A second writer is kept out; readers are not.
  EXPECT_EQ(MessageOf<EFOpenError>(
                [&] { platform::OpenedFile(path, platform::OpenedFile::Mode::kWriteLocked); }),
            "Cannot open file \"" + path +
                "\". The process cannot access the file because it is being used by another "
                "process");
  platform::OpenedFile reader(path, platform::OpenedFile::Mode::kRead);

  writer.Truncate(8);
  writer.WriteAt(8, "ab", 2);
  EXPECT_EQ(Contents(path), "01234567ab");
  char middle[3] = {};
  reader.ReadAt(4, middle, 2);
  EXPECT_STREQ(middle, "45");
  EXPECT_THROW(reader.ReadAt(9, middle, 2), EReadError);
  std::string whole;
  reader.ReadWhole([&](int64_t size) {
    whole.resize(static_cast<size_t>(size));
    return reinterpret_cast<uint8_t*>(whole.data());
  });
  EXPECT_EQ(whole, "01234567ab");
  EXPECT_EQ(writer.Stamp(), platform::GetFileStamp(path));

  // The path goes to another file: the open one is no longer the file of that name.
  EXPECT_TRUE(writer.PathStillNamesIt());
  platform::WriteFileAtomically(path, "new", 3);
  EXPECT_FALSE(writer.PathStillNamesIt());
  writer.Close();
  platform::OpenedFile again(path, platform::OpenedFile::Mode::kWriteLocked);
}

// ---------------------------------------------------------------------------
// Temporary files of saves that a crash cut short

// The folder's entries whose names begin with Prefix.
std::vector<std::string> EntriesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) found.push_back(name);
  }
  return found;
}

// A child's save stops for good once it has written 16 bytes of its temporary
// file: a write past the file-size limit raises SIGXFSZ, whose handler never
// returns, so the child stays alive in the middle of its save until it is killed.
void SleepForever(int) {
  for (;;)
    ::pause();
}

pid_t ChildStuckInASave(const std::function<void()>& save) {
  const pid_t child = ::fork();
  if (child == 0) {
    struct sigaction action {};
    action.sa_handler = SleepForever;
    ::sigaction(SIGXFSZ, &action, nullptr);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      save();
    } catch (...) {
    }
    ::_exit(0);
  }
  return child;
}

TEST_F(FilesTest, ASaveKilledMidwayLeavesNoTemporaryFileForGood) {
  // Both ways of saving, each with its own file; a save in progress (the child,
  // stuck) keeps its temporary file, a killed one's is removed by the next save.
  const std::string data(4096, 'd');
  struct Case {
    const char* name;
    std::function<void(const std::string&)> save;
  };
  const std::vector<Case> cases = {
      {"ABL.vor",
       [&](const std::string& path) {
         platform::WriteFileAtomically(path, data.data(), data.size());
       }},
      {"Patient",
       [&](const std::string& path) {
         platform::CreateFileExclusively(path, data.data(), data.size());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ + "/" + c.name;
    const pid_t child = ChildStuckInASave([&] { c.save(path); });
    ASSERT_GT(child, 0);
    // However the test ends, the child goes with it.
    struct Reaper {
      pid_t pid;
      ~Reaper() {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
      }
    } reaper{child};
    const std::string prefix = std::string(".~") + c.name + "." + std::to_string(child) + ".";
    for (int i = 0; i < 500 && EntriesStartingWith(dir_, prefix).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(EntriesStartingWith(dir_, prefix).size(), 1u);

    c.save(path);
    EXPECT_EQ(EntriesStartingWith(dir_, prefix).size(), 1u) << "a live save's file was taken";
    EXPECT_EQ(platform::ReadFileToString(path), data);

    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    reaper.pid = 0;
    c.save(path);
    EXPECT_TRUE(EntriesStartingWith(dir_, prefix).empty());
    EXPECT_EQ(EntriesStartingWith(dir_, ".~").size(), 0u);
  }
}

TEST_F(FilesTest, OnlyLeftoversOfTheSameFileAreRemoved) {
  // A process that is gone: a child that ended and was reaped.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string own = std::to_string(::getpid());
  const auto age = [this](const std::string& name, int seconds) {
    const timespec times[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
    ::utimensat(AT_FDCWD, (dir_ + "/" + name).c_str(), times, 0);
  };
  struct Case {
    std::string name;
    int age_seconds;
    bool removed;
  };
  const std::vector<Case> cases = {
      {".~f.txt." + std::to_string(gone) + ".Ab12Cd", 0, true},  // its process is gone
      {".~f.txt." + own + ".Ab12Cd", 0, false},                  // maybe another thread's save
      {".~f.txt." + own + ".Ef34Gh", 120, true},                 // unchanged for two minutes
      {".~f.txt.Ij56Kl", 120, true},                             // an old one without a process
      {".~f.txt.Mn78Op", 0, false},                              // ... not old yet
      // A minute is the bound, counted in whole seconds: a second's margin keeps
      // these true should the clock tick before the save looks.
      {".~f.txt.Mn59Op", 59, false},       // a minute old at most
      {".~f.txt.Mn61Op", 61, true},        // more than a minute old
      {".~f.txt.bak.Qr90St", 120, false},  // another file's
      {".~g.txt." + std::to_string(gone) + ".Uv12Wx", 0, false},
      {".~f.txt." + std::to_string(gone) + ".Yz3", 120, false},  // not mkstemp's
      {"f.txt.Ab12Cd", 120, false},
  };
  for (const Case& c : cases) {
    Touch(c.name);
    age(c.name, c.age_seconds);
  }
  ASSERT_TRUE(platform::CreateDir(dir_ + "/.~f.txt.Zz99Zz"));  // a folder stays
  age(".~f.txt.Zz99Zz", 120);
  // One held by a live save (its lock taken here) stays however old it is.
  const std::string held = ".~f.txt." + std::to_string(gone) + ".Hh00Hh";
  Touch(held);
  age(held, 120);
  const int held_fd = ::open((dir_ + "/" + held).c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held_fd, LOCK_EX), 0);

  platform::WriteFileAtomically(dir_ + "/f.txt", "x", 1);
  for (const Case& c : cases) {
    EXPECT_EQ(!platform::EntryExists(dir_ + "/" + c.name), c.removed) << c.name;
  }
  EXPECT_TRUE(platform::DirectoryExists(dir_ + "/.~f.txt.Zz99Zz"));
  EXPECT_TRUE(platform::EntryExists(dir_ + "/" + held));
  ::close(held_fd);
}

TEST_F(FilesTest, AnUnprivilegedSaveTakesAnotherUsersLiveSaveForNoLeftover) {
  // The system answers an unprivileged process that another user's process is
  // there (EPERM), not that it is gone; root would be told it exists.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the save as another user";
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  const std::string live = ".~f.txt." + std::to_string(::getpid()) + ".Ab12Cd";
  Touch(live);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    try {
      platform::WriteFileAtomically(dir_ + "/f.txt", "x", 1);
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(platform::EntryExists(dir_ + "/" + live));
  EXPECT_EQ(platform::ReadFileToString(dir_ + "/f.txt"), "x");
}

}  // namespace

// ---------------------------------------------------------------------------
// Owners of replaced files

namespace {

struct Owner {
  uid_t uid;
  gid_t gid;
  mode_t mode;
};

std::string Describe(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "gone";
  std::ifstream file(path, std::ios::binary);
  char mode[8];
  std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(st.st_mode & 07777));
  return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " + mode + " " +
         std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ino_t InodeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST_F(FilesTest, AReplacedFileKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to other users";
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  constexpr uid_t kOther = 1001;  // the file's owner; 65534 shares its group
  constexpr uid_t kRoot = 0;
  const uid_t nobody = platform_test::kNobody;
  const gid_t nogroup = platform_test::kNogroup;
  enum class Saver { kRoot, kNobody, kNobodyHoldingTheLock, kNobodyWhileAnotherHoldsIt };
  struct Case {
    const char* name;
    Owner owner;
    Saver saver;
    const char* bytes;
    // What the save did: "atomic" (a new file under the name), "in place", or what
    // it raised.
    std::string how;
  };
  const std::vector<Case> cases = {
      // Root gives every file its owner back.
      {"a", {nobody, nogroup, 0600}, Saver::kRoot, "new bytes", "atomic"},
      {"b", {nobody, nogroup, 06770}, Saver::kRoot, "new", "atomic"},
      // The saver's own file in its own group: nothing to give.
      {"c", {nobody, nogroup, 0644}, Saver::kNobody, "new bytes", "atomic"},
      // Another's file, or a group the saver is not in: written in place, longer
      // and shorter than it was.
      {"d", {kOther, nogroup, 0660}, Saver::kNobody, "a longer text than it was", "in place"},
      {"e", {kOther, nogroup, 0660}, Saver::kNobody, "s", "in place"},
      {"f", {nobody, kRoot, 0660}, Saver::kNobody, "new bytes", "in place"},
      {"g", {kOther, nogroup, 0660}, Saver::kNobodyHoldingTheLock, "new bytes", "in place"},
      // ... as far as the file lets the saver write it, and when no other writer
      // holds it.
      {"h",
       {kOther, nogroup, 0640},
       Saver::kNobody,
       "new bytes",
       "raised: Cannot create file \"" + dir_ + "/h\". Permission denied"},
      {"i",
       {kOther, nogroup, 0660},
       Saver::kNobodyWhileAnotherHoldsIt,
       "new bytes",
       "raised: Cannot create file \"" + dir_ +
           "/i\". The process cannot access the file because it is being used by another "
           "process"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ + "/" + c.name;
    std::ofstream(path) << "old bytes";
    ASSERT_EQ(::chown(path.c_str(), c.owner.uid, c.owner.gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.owner.mode), 0);
    const std::string before = Describe(path);
    const ino_t inode = InodeOf(path);
    int other_writer = -1;
    if (c.saver == Saver::kNobodyWhileAnotherHoldsIt) {
      other_writer = ::open(path.c_str(), O_RDWR);
      ASSERT_EQ(::flock(other_writer, LOCK_EX), 0);
    }
    const auto save = [&]() -> std::string {
      try {
        if (c.saver == Saver::kNobodyHoldingTheLock) {
          const platform::OpenedFile held(path, platform::OpenedFile::Mode::kWriteLocked);
          held.Replace(c.bytes, std::strlen(c.bytes));
        } else {
          platform::WriteFileAtomically(path, c.bytes, std::strlen(c.bytes));
        }
      } catch (const EFCreateError& error) {
        return std::string("raised: ") + error.what();
      }
      return InodeOf(path) == inode ? "in place" : "atomic";
    };
    const std::string how =
        c.saver == Saver::kRoot ? save() : platform_test::RunAs(nobody, nogroup, save);
    if (other_writer >= 0) ::close(other_writer);
    EXPECT_EQ(how, c.how);
    const bool saved = how.rfind("raised", 0) != 0;
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(c.owner.mode));
    const std::string kept =
        std::to_string(c.owner.uid) + ":" + std::to_string(c.owner.gid) + " " + mode + " ";
    EXPECT_EQ(Describe(path), saved ? kept + c.bytes : before);
    EXPECT_TRUE(EntriesStartingWith(dir_, ".~").empty());
  }
}

TEST_F(FilesTest, AWriteInPlaceThatFindsNoRoomLeavesTheFileAsItWas) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  const std::string path = dir_ + "/f";
  const std::string old_bytes(50, 'o');
  std::ofstream(path) << old_bytes;
  ASSERT_EQ(::chown(path.c_str(), 1001, platform_test::kNogroup), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
  // No file may grow past 100 bytes: the disk is full for this one.
  const std::string seen =
      platform_test::RunAs(platform_test::kNobody, platform_test::kNogroup, [&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string new_bytes(200, 'n');
        try {
          platform::WriteFileAtomically(path, new_bytes.data(), new_bytes.size());
        } catch (const EFCreateError& error) {
          return std::string(error.what());
        }
        return std::string("written");
      });
  EXPECT_EQ(seen, "Cannot create file \"" + path + "\". File too large");
  EXPECT_EQ(platform::ReadFileToString(path), old_bytes);
}
