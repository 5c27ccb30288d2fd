// Feeds arbitrary bytes to the save component as the file it works on: it loads
// them as any data file, checks them as a monitor-data file, adds a definition and
// a point, and loads the result again. Only the system's own exceptions may come
// out; a crash, a hang, a leak or a sanitizer report is a fault, and so is a file
// written anywhere but the one file of its folder, or an append that changes more
// than a torn tail and its own point. Built as a libFuzzer target
// and, for replaying the corpus, into the tests.
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "datafile/QORClassIdentity.h"
#include "datamodel/SaveITNew.h"
#include "platform/dialogs.h"
#include "platform/exception.h"

namespace {

// One folder for the process, in memory when the machine has /dev/shm (the
// atomic saves flush to the disk, which there costs nothing), removed at exit.
class FuzzFolder {
 public:
  FuzzFolder() {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "saveitnew_fuzz_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~FuzzFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename F>
void Try(F&& f) {
  try {
    f();
  } catch (const Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzFolder folder;
  const std::string file = folder.path() + "/ABL.vor";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // Half the inputs are files left alone for an hour, whose torn tail may be cut;
  // the others were written just now, by a program that may still be writing.
  if (size % 2 == 1) {
    std::error_code ignored;
    std::filesystem::last_write_time(
        file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1), ignored);
  }
  platform::ScopedScriptedDialogs quiet;

  TSaveItNew save(nullptr);
  save.FileName = file;
  save.MinimumReservedSpaceForMonitorParameters = 64;
  Try([&] { save.Refresh(); });
  Try([&] { save.OpenMonitorFile("Radiometer ABLxxx", "", "123456-7890", "Berg"); });
  Try([&] {
    TParameterSerie definition;
    definition.Index = static_cast<int16_t>(size % 3);
    definition.ParameterInfo().SetParameterName("pO2");
    definition.ParameterInfo().SetMeasurementPlace("Arterial");
    definition.Unit = "kPa";
    save.AddParameterSerie(definition);
  });
  // An append changes nothing of the file but a torn tail it cuts off (one record
  // of an appended kind, at most 4 KiB) and the 26 bytes of its point.
  const std::string before = ReadAll(file);
  const bool written = save.AppendDataPoint(static_cast<int16_t>(size % 3), 45000.5, 7.41);
  const std::string after = ReadAll(file);
  const size_t kept = written ? after.size() - 26 : after.size();
  if (after.size() < (written ? 26u : 0u) || kept > before.size() ||
      before.size() - kept > 8 + 4096 || after.compare(0, kept, before, 0, kept) != 0)
    std::abort();
  Try([&] {
    save.ForgetLoadedFile();
    save.Refresh();
  });

  // Nothing but the file itself may be left in the folder.
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    if (entry.path().filename() != "ABL.vor") std::abort();
  }
  return 0;
}
