// TVistaReader: reads a stream in the tagged data-file format.
//
// Read recognises the header and version and then calls the record handler once
// for every tag it meets. The handler must consume exactly the field of that tag:
// read it with one of the Read...Field operations, skip it with SkipField, or enter
// it as a record with BeginFolding, after which the record's own fields arrive in
// later calls and Read closes the record at its end. A handler may also read a
// record's body itself between BeginGroup(ReadSize()) and EndGroup.
//
// A file with checksums is read in folding mode: every byte enters the running
// checksum, each folding's checksum byte is verified when it closes, and reading
// ends with the header record. A mismatch is reported (OnFoldingEnd, the result of
// Read), never raised. A plain file, and any file older than 2.0, is read in group
// mode: records are groups and reading goes on to the end of the stream, past the
// header record, where the monitor-data file keeps its data points. Nothing checks
// a sum in group mode, so none is kept there (Checksum() then means nothing), and
// a plain file in a memory stream is read straight out of the stream's memory.
//
// The input is untrusted: every size is checked against the bytes that are really
// there before it is used, and reading never moves backwards, so a damaged stream
// raises "Exception:The file has been corrupted." or "Exception:Error in file"
// rather than reading garbage, looping or allocating without bound. A stream that
// ends inside a value (a tag, a size, a number, a string's text) raises the
// stream's own EReadError.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datafile/QORClassFormat.h"
#include "platform/exception.h"
#include "platform/stream.h"

class TVistaReader;

// A stream that does not start like a data file.
class EInvalidQORFIle : public Exception {
 public:
  using Exception::Exception;
};

using TRecordHandler = void (*)(void* user_data, int32_t tag, TVistaReader& reader);
// Fired whenever a record is closed: the stored checksum byte and whether it matched
// (0 and false in group mode, where there are none).
using TFoldingEndEvent =
    std::function<void(TVistaReader& sender, uint8_t checksum_byte, bool checksum_ok)>;

class TVistaReader : public TQORReadWriter {
 public:
  TVistaReader();
  std::string_view ClassName() const override { return "TVistaReader"; }

  // Reads the whole stream from its position. Returns whether every checksum
  // matched (a checksummed file), False after Stop in a checksummed file, and True
  // for a plain file.
  bool Read(platform::Stream& stream, TRecordHandler handler, void* user_data);
  // Ends Read after the handler call in progress and empties both stacks.
  void Stop();
  bool Stopped() const { return stopped_; }
  bool ChecksumsOK() const { return checksums_ok_; }

  void SetRecordHandler(TRecordHandler handler, void* user_data);
  void SetOnFoldingEnd(TFoldingEndEvent event) { on_folding_end_ = std::move(event); }
  void SetFoldingMode(bool value) { folding_mode_ = value; }
  bool FoldingMode() const { return folding_mode_; }

  // Enters the field whose tag the handler just received as a record.
  void BeginFolding(int32_t tag) override;
  // Closes the innermost record; returns whether its checksum matched (True in
  // group mode).
  bool EndFolding() override;
  // Opens a group of Size bytes from the position; it must lie inside the stream
  // and inside every record around it. Inline, as both run for every data point.
  void BeginGroup(int32_t size) {
    const int64_t start = Pos();
    const int64_t end = start + int64_t{size};
    if (size < 0 || end > StreamSize()) Corrupted();
    if (!group_stack_.empty() && end > group_stack_.back().End()) Corrupted();
    if (folding_mode_ && !folding_stack_.empty() && end > folding_end_) Corrupted();
    group_stack_.push_back({nullptr, size, start});
  }
  // Closes the innermost group and moves to its end. A handler that read past the
  // end found a record shorter than its content: the sizes cannot be trusted, and
  // going back would read garbage.
  void EndGroup() {
    if (group_stack_.empty()) NoRecordOpen();
    const int64_t end = group_stack_.back().End();
    group_stack_.pop_back();
    const int64_t position = Pos();
    if (position > end) Corrupted();
    if (position < end) Skip(end - position);
  }

  // Open foldings in folding mode, open groups otherwise.
  int32_t Depth() const;
  // The object attached to the innermost open record, or none.
  TObject* CurrentObject() const;
  // Raises "Exception:Error in VistaReader.SetCurrentObject" when no record is open.
  void SetCurrentObject(TObject* object);
  // The stream's position; "Exception:No Stream" without a stream.
  int64_t Position() const;

  // The reads below run for every field of every file: the common case (group
  // mode, a memory stream) is inline and copies in place.
  int32_t ReadTag() {
    uint8_t bytes[4];
    ReadBuffer(bytes, 4);
    return qor::LoadLittleEndian<int32_t>(bytes);
  }
  int32_t ReadSize() {
    const int32_t size = ReadTag();
    if (HasWideSizes()) SkipSizeTail();
    return size;
  }
  // Version 1.0 stored sizes in eight bytes, every later version in four.
  bool HasWideSizes() const { return major_version_ == 1 && minor_version_ == 0; }
  // In group mode: where the innermost open group ends, else the stream. A handler
  // that takes the records after its own straight from a memory stream stops there,
  // as reading them one by one would.
  int64_t GroupEnd() const {
    return group_stack_.empty() ? StreamSize() : group_stack_.back().End();
  }
  uint8_t ReadByteField();
  int32_t ReadIntegerField();
  double ReadDoubleField();
  void ReadBufferField(void* buffer, int32_t count);
  // The string part of a string field (length, character size, characters), after
  // the tag; UTF-16 strings come back as Windows-1252 text.
  std::string ReadStringField();
  void ReadStringHeader(int32_t& length, int32_t& char_size);
  // Count raw bytes; EReadError when the stream holds fewer.
  void ReadBuffer(void* buffer, int64_t count) {
    if (memory_ && !folding_mode_) {
      if (count > 0 && memory_->ReadInline(buffer, count) != count) throw EReadError();
      return;
    }
    ReadBufferSummed(buffer, count);
  }
  void Skip(int64_t count);
  void SkipField();
  void MarkBlock(int32_t size);
  void SkipToBlockEnd();

 private:
  struct TReadFoldingObject {
    TObject* obj = nullptr;
    uint8_t saved_checksum = 0;
    int64_t saved_end = 0;
  };
  struct TReadGroupObject {
    TObject* obj = nullptr;
    int64_t size = 0;
    int64_t start = 0;
    int64_t End() const { return start + size; }
  };

  // ReadBuffer for a stream of another kind or a file with checksums.
  void ReadBufferSummed(void* buffer, int64_t count);
  // Version 1.0 stored sizes in 8 bytes; the upper four carry nothing.
  void SkipSizeTail();
  void ReadHeader(int64_t start);
  void ReadOldHeader();
  void CallHandler(int32_t tag);
  void ParseVersion(const std::string& version_text, bool reset_on_error);
  bool ReadFoldingMode(int64_t header_end);
  bool ReadGroupMode();
  void FireFoldingEnd(uint8_t checksum_byte, bool ok);
  int64_t StreamSize() const { return memory_ ? memory_->Size() : OtherStreamSize(); }
  int64_t OtherStreamSize() const;
  int64_t BytesLeft() const;
  bool StringLengthCountsCharSize() const;
  // The stream's position and exact reads, without a virtual call when the stream
  // is a memory stream, as it nearly always is.
  int64_t Pos() const { return memory_ ? memory_->PositionInline() : OtherStreamPosition(); }
  // "Exception:No Stream" without a stream.
  int64_t OtherStreamPosition() const;
  void RawRead(void* buffer, int64_t count);
  [[noreturn]] static void Corrupted();
  // "Exception:Foldings do not match".
  [[noreturn]] static void NoRecordOpen();
  [[noreturn]] static void ErrorInFile();

  platform::MemoryStream* memory_ = nullptr;
  bool stopped_ = false;
  TRecordHandler handler_ = nullptr;
  void* user_data_ = nullptr;
  bool checksums_ok_ = true;
  int64_t folding_end_ = 0;
  int64_t header_end_ = 0;
  // While the header record is entered, whether the file is plain (and its header
  // record's size irrelevant) is not known yet: its size is checked afterwards.
  bool reading_header_ = false;
  int64_t header_size_ = 0;
  TFoldingEndEvent on_folding_end_;
  bool folding_mode_ = true;
  int64_t block_size_ = 0;
  int64_t block_start_ = 0;
  std::vector<TReadFoldingObject> folding_stack_;
  std::vector<TReadGroupObject> group_stack_;
};
