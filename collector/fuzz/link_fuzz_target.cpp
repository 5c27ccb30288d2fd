// Feeds arbitrary bytes to the analyzer link, in pieces, and every record line of
// every message it completes to the record parsing pieces, as the window will. A
// crash, a hang, a sanitizer report or a buffer or message beyond its limits is a
// fault. Built as a libFuzzer target and, for replaying the corpus, into the tests.
//
// The first byte chooses small limits now and then, so that the overflow paths are
// reached without megabytes of input; the second how the rest is cut into pieces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "collector/AnalyzerLink.h"
#include "collector/PatientIds.h"
#include "collector/RecordParsing.h"
#include "collector/fuzz/link_fuzz_input.h"

namespace {

class Walker : public TAnalyzerLinkEvents {
 public:
  explicit Walker(const TAnalyzerLinkLimits& limits) : limits_(limits) {}

  void SendToAnalyzer(std::string_view bytes) override {
    if (bytes.size() != 1 || (bytes[0] != astm::kACK && bytes[0] != astm::kNAK)) std::abort();
  }

  void MessageComplete(std::vector<std::string> lines) override {
    if (lines.empty() || lines.size() > limits_.max_message_lines) std::abort();
    for (const std::string& line : lines)
      Walk(line);
  }

  void LinkNotice(const TLinkNotice& notice) override {
    if (notice.text.empty()) std::abort();
  }

 private:
  // What the message walk does with each line, less the filing.
  void Walk(const std::string& line) {
    if (line.size() < 2) return;
    switch (line[1]) {
      case 'H':
        delimiters_ = ReadHeaderDelimiters(line);
        times_.OnHeader();
        (void)SenderIdentification(line, delimiters_.field, delimiters_.component);
        break;
      case 'P': {
        const TPatientIdentity identity = ResolvePatientId(GetPiece(4, line, delimiters_.field),
                                                           line.size() % 2 == 0, registered_);
        if (identity.accepted && !IsSafeNameText(identity.folder_name)) std::abort();
        (void)BuildPatientFile(identity.shown_id, GetPiece(2, line, delimiters_.component),
                               GetPiece(1, line, delimiters_.component));
        break;
      }
      case 'O':
        times_.OnOrder(GetPiece(8, line, delimiters_.field), 1.0);
        specimen_ = ReadSpecimen(GetPiece(16, line, delimiters_.field), delimiters_.component,
                                 TSpecimenTranslations{"V", "", "N", "A", ""});
        break;
      case 'R':
        (void)ResultParameter(GetPiece(3, line, delimiters_.field), delimiters_.component,
                              specimen_.source, line.size() % 3 == 0);
        (void)StrToValue(GetPiece(4, line, delimiters_.field), line.size() % 2 ? '.' : ',');
        (void)times_.OnResult(GetPiece(12, line, delimiters_.field), 2.0);
        break;
      default:
        break;
    }
  }

  TAnalyzerLinkLimits limits_;
  THeaderDelimiters delimiters_;
  TSampleTimeRule times_;
  TSpecimen specimen_;
  const TRegisteredEntries registered_ = {"12345678.$90\\PATIENT.", "../x", ""};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<TLinkFuzzInput> input = ReadLinkFuzzInput(data, size);
  if (!input) return 0;
  const TAnalyzerLinkLimits& limits = input->limits;
  const size_t piece = input->piece;
  std::string_view bytes = input->bytes;

  Walker walker(limits);
  TAnalyzerLink link(walker, limits);
  while (!bytes.empty()) {
    link.Receive(bytes.substr(0, piece));
    bytes.remove_prefix(std::min(piece, bytes.size()));
    if (link.BufferedBytes() > 2 * limits.max_frame_bytes + 2) std::abort();
  }
  if (input->flags & 2) link.DropHalfMessage();
  if (link.HalfMessage() && (input->flags & 2)) std::abort();
  return 0;
}
