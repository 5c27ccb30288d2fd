// Feeds arbitrary bytes to Gasbridge's core as the serial line delivers them: the
// analyzer link, the message queue and the walk over every message it completes,
// with patients, their folders and files under a data root of its own, and an
// in-memory save component. A crash, a hang, a sanitizer report, a reply other
// than ACK or NAK, a queue that keeps messages, a file or folder that is not a
// patient's (or the log) in the data folder, or a save file made for another
// patient than its folder's (for a folder with one ".$") is a fault. Built as a libFuzzer target
// and, for replaying the corpus, into a test.
//
// The input's form is the link fuzzer's, so their corpora serve each other: the
// first byte chooses small link limits (bit 0), a dropped half message at the end
// (bit 1), and here also automatic creation (bit 2), grouping (bit 3) and the
// id's first ten characters (bit 4); the second byte how the rest is cut into
// pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "collector/Unit1Core.h"
#include "collector/fuzz/link_fuzz_input.h"
#include "collector/tests/core_fakes.h"
#include "collector/tests/fake_save_file.h"

namespace {

// Counts instead of keeping: a long run must not grow.
class TCountingView : public TCollectorView {
 public:
  void SendToAnalyzer(std::string_view bytes) override {
    if (bytes.size() != 1 || (bytes[0] != astm::kACK && bytes[0] != astm::kNAK)) std::abort();
  }
  void PostProcessMessage() override { ++posts; }
  void RelayToDataClients(const std::string& text, bool framed) override {
    if (!framed && text != std::string(1, astm::kEOT)) std::abort();
  }
  void ShowSender(const std::string&) override {}
  void ShowTransfer(const std::string&) override {}
  void ShowNewPatient(const std::string&) override {}
  void ShowError(const std::string& text) override {
    if (text.empty()) std::abort();
  }
  void TransferLogChanged() override {}
  size_t posts = 0;
};

void RemoveRoot();

// The data root: on a memory file system when there is one, as the log and the
// patient files are written on every run; removed when the process ends.
const std::string& Root() {
  // Kept to the very end: the removal at exit still needs it.
  static const std::string& root = *new std::string([] {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    const std::filesystem::path folder =
        base / ("gasbridge_walk_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder / "DATA" / "12345678.$90");
    const std::vector<uint8_t> patient = BuildPatientFile("123456-7890", "John", "Doe");
    std::ofstream(folder / "DATA" / "12345678.$90" / "Patient", std::ios::binary)
        .write(reinterpret_cast<const char*>(patient.data()), 271);
    std::ofstream(folder / "ZQTDATA.INI") << "[Registered]\n1=12345678.$90\\PATIENT.\n2=../x\n";
    std::atexit(RemoveRoot);
    return folder.string() + "/";
  }());
  return root;
}

void RemoveRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(Root(), ignored);
}

// Only patients' folders (with ".$") and the log lie in the data folder; patients
// created by earlier inputs are removed now and then, so a long run stays small.
void CheckDataFolder() {
  const std::filesystem::path data = Root() + "DATA";
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(data)) {
    const std::string name = entry.path().filename().string();
    if (name == "ABL 625 Logfile.txt") continue;
    if (!entry.is_directory() || name.find(".$") == std::string::npos) std::abort();
    ++entries;
  }
  if (entries > 200) {
    for (const auto& entry : std::filesystem::directory_iterator(data)) {
      if (entry.is_directory() && entry.path().filename() != "12345678.$90") {
        std::filesystem::remove_all(entry.path());
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<TLinkFuzzInput> input = ReadLinkFuzzInput(data, size);
  if (!input) return 0;
  const TAnalyzerLinkLimits& limits = input->limits;
  const size_t piece = input->piece;
  std::string_view bytes = input->bytes;

  TCountingView view;
  TFakeSaveFile save;
  TRecordingAutoObject automation;
  {
    TCollectorCore core(view, TCollectorPaths::FromRoot(Root()), save, limits);
    core.Options().auto_create = input->flags & 4;
    core.Options().grouping = input->flags & 8;
    core.Options().use_first_ten = input->flags & 16;
    core.Options().translations = TSpecimenTranslations{"V", "", "N", "A", ""};
    core.Automation().SetAutoObject(&automation);
    core.LoadTransferLog();
    while (!bytes.empty()) {
      core.ReceiveFromAnalyzer(bytes.substr(0, piece));
      bytes.remove_prefix(std::min(piece, bytes.size()));
      while (core.ProcessNextMessage()) {
      }
    }
    if (input->flags & 2) core.DataSourceChanging();
    if (core.QueuedMessages() != 0) std::abort();
    core.Automation().SetAutoObject(nullptr);
  }
  // Every result filed went to a save file in a patient's folder, made for the
  // patient of that folder (its id is the folder's name without ".$").
  for (const auto& [name, file] : save.files) {
    if (name.rfind(Root() + "DATA/", 0) != 0 || name.find(".$") == std::string::npos) std::abort();
    std::string id = std::filesystem::path(name).parent_path().filename().string();
    // A folder with one ".$" only: an id may hold one itself.
    const size_t mark = id.find(".$");
    if (mark != id.rfind(".$")) continue;
    id.erase(mark, 2);
    if (file.patient_id != id.substr(0, 6) + "-" + id.substr(std::min<size_t>(6, id.size()), 4)) {
      std::abort();
    }
  }
  CheckDataFolder();
  return 0;
}
