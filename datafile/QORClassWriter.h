// TVistaWriter: writes a stream in the tagged data-file format (QORClassFormat.h).
//
// While a record is open its body collects in a memory stream of its own, since the
// size must precede the body; closing the record writes size and body into the
// enclosing stream. Only the tag goes to the enclosing stream at once. A file is
// written as: SetUseChecksums, SetStream, WriteHeader, the records, FinishFile; the
// caller owns the target stream and saves it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "datafile/QORClassFormat.h"

namespace platform {
class MemoryStream;
class Stream;
}  // namespace platform

class TVistaWriter : public TQORReadWriter {
 public:
  TVistaWriter();
  ~TVistaWriter() override;
  std::string_view ClassName() const override { return "TVistaWriter"; }

  // Checksummed foldings and the "*" header; set before WriteHeader.
  void SetUseChecksums(bool value) { use_checksums_ = value; }
  bool UseChecksums() const { return use_checksums_; }
  // Targets Stream (not owned) at the outermost level, with no record open.
  void SetStream(platform::Stream* stream);
  platform::Stream* TargetStream() const { return target_stream_; }

  // Opens the header record and writes the header text with the version.
  void WriteHeader();
  // Closes the header record.
  void FinishFile();

  // Opens a folding; EndFolding closes it and returns True. Closing when no record
  // is open raises "Exception:Foldings do not match"; closing the wrong kind of
  // record raises "Exception:Groups and foldings have been mixed up". Both leave
  // the writer as it was.
  void BeginFolding(int32_t tag) override;
  bool EndFolding() override;
  void BeginGroup(int32_t tag);
  void EndGroup();
  // Number of open records.
  int32_t Depth() const { return static_cast<int32_t>(folding_stack_.size()); }

  void WriteFieldHeader(int32_t tag, int32_t size);
  void WriteByteField(int32_t tag, uint8_t value);
  void WriteIntegerField(int32_t tag, int32_t value);
  void WriteDoubleField(int32_t tag, double value);
  void WriteBufferField(int32_t tag, const void* buffer, int32_t count);
  void WriteStringField(int32_t tag, std::string_view text);
  // A string without tag: int32 length (4 + characters), int32 character size 1,
  // the characters.
  void WriteString(std::string_view text);
  void WriteBuffer(const void* buffer, int64_t count);
  void WriteInt32(int32_t value);

 private:
  struct TWriteFoldingObject {
    uint8_t saved_checksum = 0;
    bool is_folding = false;
    platform::Stream* outer_stream = nullptr;
    platform::MemoryStream* outer_memory = nullptr;  // outer_stream, when a memory stream
    std::unique_ptr<platform::MemoryStream> body;
  };

  void Put(const void* buffer, int64_t count);
  void OpenRecord(int32_t tag, bool is_folding);
  // Checks that the innermost record is of the kind being closed.
  void CheckClose(bool is_folding) const;
  // Pops the innermost record and writes its size and body to the enclosing stream.
  void CloseRecord(int32_t size_field);

  bool use_checksums_ = false;
  platform::Stream* target_stream_ = nullptr;
  // The current stream when it is a memory stream (always, inside a record): small
  // writes then go straight into its memory.
  platform::MemoryStream* memory_ = nullptr;
  std::vector<TWriteFoldingObject> folding_stack_;
  // Body streams of closed records, kept for the next ones: a file of many small
  // records then allocates nothing per record.
  std::vector<std::unique_ptr<platform::MemoryStream>> spare_bodies_;
};
