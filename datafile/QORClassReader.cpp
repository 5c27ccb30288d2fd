#include "datafile/QORClassReader.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>

#include "platform/stream.h"
#include "platform/text_1252.h"

namespace {

// "QOR Fluvantronics Save File Header" without the trailing blank, which belongs
// to the version text that follows.
constexpr std::string_view kHeaderWords = qor::kPlainHeaderText.substr(0, 34);
constexpr std::string_view kChecksumHeaderWords = qor::kChecksumHeaderText.substr(0, 35);

// The integer value of Text as the runtime converts it: leading blanks, an optional
// sign, decimal digits and nothing else.
bool ParseInt32(std::string_view text, int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace

TVistaReader::TVistaReader() = default;

void TVistaReader::Corrupted() {
  throw Exception("Exception:The file has been corrupted.");
}

void TVistaReader::NoRecordOpen() {
  throw Exception("Exception:Foldings do not match");
}

void TVistaReader::ErrorInFile() {
  throw Exception("Exception:Error in file");
}

void TVistaReader::SetRecordHandler(TRecordHandler handler, void* user_data) {
  handler_ = handler;
  user_data_ = user_data;
}

void TVistaReader::Stop() {
  stopped_ = true;
  folding_stack_.clear();
  group_stack_.clear();
}

int64_t TVistaReader::Position() const {
  return Pos();
}

int64_t TVistaReader::OtherStreamPosition() const {
  if (!stream_) throw Exception("Exception:No Stream");
  return stream_->Position();
}

void TVistaReader::RawRead(void* buffer, int64_t count) {
  if (memory_) {
    if (memory_->ReadInline(buffer, count) != count) throw EReadError();
  } else {
    stream_->ReadBuffer(buffer, count);
  }
}

int64_t TVistaReader::OtherStreamSize() const {
  if (!stream_) throw Exception("Exception:No Stream");
  return stream_->Size();
}

int64_t TVistaReader::BytesLeft() const {
  return std::max<int64_t>(0, StreamSize() - Pos());
}

bool TVistaReader::StringLengthCountsCharSize() const {
  return major_version_ > 1 || minor_version_ > 1;
}

// ---------------------------------------------------------------------------
// Reading a whole stream

bool TVistaReader::Read(platform::Stream& stream, TRecordHandler handler, void* user_data) {
  major_version_ = 2;
  minor_version_ = 0;
  stopped_ = false;
  SetRecordHandler(handler, user_data);
  folding_stack_.clear();
  group_stack_.clear();
  stream_ = &stream;
  memory_ = dynamic_cast<platform::MemoryStream*>(&stream);
  checksum_ = 0;
  checksums_ok_ = true;
  folding_end_ = 0;

  const int64_t start = Pos();
  ReadHeader(start);
  return folding_mode_ ? ReadFoldingMode(header_end_) : ReadGroupMode();
}

void TVistaReader::ReadHeader(int64_t start) {
  try {
    folding_mode_ = true;
    if (BytesLeft() < 4 || ReadTag() != qor::kHeaderRecordTag)
      throw EInvalidQORFIle("Exception: No QOR file");
    reading_header_ = true;
    BeginFolding(qor::kHeaderRecordTag);
    reading_header_ = false;
    header_end_ = folding_end_;
    if (ReadTag() != qor::kHeaderTextTag) throw EInvalidQORFIle("Exception:Not a valid qor-file");
    const std::string text = ReadStringField();
    std::string_view version;
    if (std::string_view(text).substr(0, kChecksumHeaderWords.size()) == kChecksumHeaderWords) {
      version = std::string_view(text).substr(kChecksumHeaderWords.size());
    } else if (std::string_view(text).substr(0, kHeaderWords.size()) == kHeaderWords) {
      folding_mode_ = false;
      version = std::string_view(text).substr(kHeaderWords.size());
    } else {
      throw EInvalidQORFIle("Exception:Not a valid qor-file");
    }
    ParseVersion(std::string(version), true);
  } catch (const std::exception&) {
    // Not the current header: try the old form, first with the version rules left
    // by the attempt above, then with those of version 1.0, whose string lengths
    // do not count the character-size field. Both restart where reading started.
    reading_header_ = false;
    folding_stack_.clear();
    stream_->SetPosition(start);
    try {
      ReadOldHeader();
    } catch (const std::exception&) {
      major_version_ = 1;
      minor_version_ = 0;
      folding_stack_.clear();
      stream_->SetPosition(start);
      ReadOldHeader();
    }
    return;
  }
  // Only now is it known whether the header record's size matters: a checksummed
  // file ends with the header record, which must hold its check byte inside the
  // stream; a plain file is read to its end whatever the header record claims.
  if (folding_mode_ && (header_size_ < 1 || header_end_ >= StreamSize())) Corrupted();
}

void TVistaReader::ReadOldHeader() {
  folding_mode_ = false;
  if (BytesLeft() < 4 || ReadTag() != qor::kHeaderRecordTag)
    throw EInvalidQORFIle("Exception: No QOR file");
  // Whatever keeps the header text from being read (a stream too short for it, a
  // length it cannot have) means the same as a wrong text: no data file.
  std::string text;
  try {
    text = ReadStringField();
  } catch (const Exception&) {
    throw EInvalidQORFIle("Exception:Not a valid qor-file");
  }
  if (std::string_view(text).substr(0, kHeaderWords.size()) != kHeaderWords)
    throw EInvalidQORFIle("Exception:Not a valid qor-file");
  ParseVersion(text.substr(kHeaderWords.size()), false);
}

void TVistaReader::ParseVersion(const std::string& version_text, bool reset_on_error) {
  const size_t dot = version_text.find('.');
  const std::string major_text = version_text.substr(0, dot);
  const std::string minor_text = dot == std::string::npos ? "" : version_text.substr(dot + 1);
  int32_t major = 0;
  int32_t minor = 0;
  const bool major_ok = ParseInt32(major_text, major);
  const bool minor_ok = major_ok && ParseInt32(minor_text, minor);
  if (!minor_ok) {
    if (reset_on_error) {
      major_version_ = 0;
      minor_version_ = 0;
    }
    throw EConvertError("'" + (major_ok ? minor_text : major_text) +
                        "' is not a valid integer value");
  }
  major_version_ = major;
  minor_version_ = minor;
}

void TVistaReader::CallHandler(int32_t tag) {
  if (handler_) {
    handler_(user_data_, tag, *this);
  } else {
    SkipField();
  }
}

bool TVistaReader::ReadFoldingMode(int64_t header_end) {
  while (header_end > Pos()) {
    while (folding_end_ > Pos()) {
      CallHandler(ReadTag());
      if (stopped_) return false;
    }
    // A handler that closed records itself can leave none open before the header
    // record's end; nothing more can be read then.
    if (Depth() == 0) break;
    EndFolding();
  }
  if (Depth() > 0) EndFolding();
  if (!folding_stack_.empty()) NoRecordOpen();
  return checksums_ok_;
}

bool TVistaReader::ReadGroupMode() {
  // Every pass reads a tag or closes a group, and reading never moves backwards,
  // so this ends on any input.
  while (StreamSize() > Pos()) {
    int64_t limit = group_stack_.empty() ? StreamSize() : group_stack_.back().End();
    while (limit > Pos()) {
      CallHandler(ReadTag());
      if (stopped_) return true;
      if (!group_stack_.empty()) limit = group_stack_.back().End();
    }
    if (Depth() > 0) EndFolding();
  }
  return true;
}

// ---------------------------------------------------------------------------
// Records

void TVistaReader::BeginFolding(int32_t tag) {
  if (!folding_mode_) {
    BeginGroup(ReadSize());
    return;
  }
  // The tag was counted in the enclosing record's sum; it belongs to this one.
  checksum_ = static_cast<uint8_t>(checksum_ - ByteSumOfInt(tag));
  folding_stack_.push_back({nullptr, checksum_, folding_end_});
  checksum_ = ByteSumOfInt(tag);
  const int64_t size = ReadSize();
  const int64_t end = Pos() + size - 1;
  if (reading_header_) {
    header_size_ = size;
    folding_end_ = end;
    return;
  }
  // A folding holds at least its checksum byte, which must lie inside the
  // enclosing folding (before that one's checksum byte) and inside the stream.
  if (size < 1) Corrupted();
  if (folding_stack_.size() > 1 && end >= folding_stack_.back().saved_end) Corrupted();
  if (end >= StreamSize()) Corrupted();
  folding_end_ = end;
}

bool TVistaReader::EndFolding() {
  if (!folding_mode_) {
    EndGroup();
    FireFoldingEnd(0, false);
    return true;
  }
  if (folding_stack_.empty()) NoRecordOpen();
  if (Pos() != folding_end_) Corrupted();
  uint8_t stored;
  RawRead(&stored, 1);
  const bool ok = stored == checksum_;
  if (!ok) checksums_ok_ = false;
  const TReadFoldingObject entry = folding_stack_.back();
  folding_stack_.pop_back();
  checksum_ = static_cast<uint8_t>(checksum_ + stored + entry.saved_checksum);
  folding_end_ = entry.saved_end;
  FireFoldingEnd(stored, ok);
  return ok;
}

void TVistaReader::FireFoldingEnd(uint8_t checksum_byte, bool ok) {
  if (on_folding_end_) on_folding_end_(*this, checksum_byte, ok);
}

int32_t TVistaReader::Depth() const {
  return static_cast<int32_t>(folding_mode_ ? folding_stack_.size() : group_stack_.size());
}

TObject* TVistaReader::CurrentObject() const {
  if (folding_mode_) return folding_stack_.empty() ? nullptr : folding_stack_.back().obj;
  return group_stack_.empty() ? nullptr : group_stack_.back().obj;
}

void TVistaReader::SetCurrentObject(TObject* object) {
  if (folding_mode_ && !folding_stack_.empty()) {
    folding_stack_.back().obj = object;
  } else if (!folding_mode_ && !group_stack_.empty()) {
    group_stack_.back().obj = object;
  } else {
    throw Exception("Exception:Error in VistaReader.SetCurrentObject");
  }
}

// ---------------------------------------------------------------------------
// Fields

void TVistaReader::ReadBufferSummed(void* buffer, int64_t count) {
  if (count <= 0) return;
  if (!stream_) throw Exception("Exception:No Stream");
  RawRead(buffer, count);
  if (folding_mode_) AddToChecksum(buffer, count);
}

void TVistaReader::SkipSizeTail() {
  uint8_t ignored[4];
  RawRead(ignored, 4);
}

uint8_t TVistaReader::ReadByteField() {
  const int32_t size = ReadSize();
  if (size < 1) ErrorInFile();
  uint8_t value;
  ReadBuffer(&value, 1);
  Skip(size - 1);
  return value;
}

int32_t TVistaReader::ReadIntegerField() {
  const int32_t size = ReadSize();
  if (size < 0) ErrorInFile();
  // Sizes below 4 hold an unsigned value (a byte, a 16-bit word); larger ones an
  // int32 followed by bytes this reader does not know. A value the stream cuts
  // short is the stream's read error.
  uint8_t bytes[4] = {0, 0, 0, 0};
  const int32_t used = std::min(size, 4);
  ReadBuffer(bytes, used);
  Skip(size - used);
  if (used < 4) return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16);
  return qor::LoadLittleEndian<int32_t>(bytes);
}

double TVistaReader::ReadDoubleField() {
  const int32_t size = ReadSize();
  if (size < 8) ErrorInFile();
  uint8_t bytes[8];
  ReadBuffer(bytes, 8);
  Skip(size - 8);
  return qor::LoadLittleEndian<double>(bytes);
}

void TVistaReader::ReadBufferField(void* buffer, int32_t count) {
  if (ReadSize() != count) ErrorInFile();
  ReadBuffer(buffer, count);
}

void TVistaReader::ReadStringHeader(int32_t& length, int32_t& char_size) {
  length = ReadTag();
  char_size = ReadTag();
}

std::string TVistaReader::ReadStringField() {
  int32_t length;
  int32_t char_size;
  ReadStringHeader(length, char_size);
  int64_t bytes = length;
  if (StringLengthCountsCharSize()) bytes -= 4;
  if (bytes < 0) ErrorInFile();
  // Text that runs past the stream's end is the stream's read error, raised before
  // a buffer of the claimed length is allocated.
  if (bytes > BytesLeft()) throw EReadError();
  if (char_size == 1) {
    std::string text(static_cast<size_t>(bytes), '\0');
    ReadBuffer(text.data(), bytes);
    return text;
  }
  if (char_size == 2) {
    if (bytes % 2 != 0) ErrorInFile();
    std::u16string units(static_cast<size_t>(bytes / 2), u'\0');
    ReadBuffer(units.data(), bytes);
    return platform::Utf16ToWin1252(units);
  }
  // A character size this reader does not know: the characters are passed over
  // whole, so that the next field is found where it starts.
  Skip(bytes);
  return std::string();
}

void TVistaReader::Skip(int64_t count) {
  if (count == 0) return;
  if (count < 0 || count > BytesLeft()) ErrorInFile();
  if (!folding_mode_) {
    stream_->Seek(count, platform::SeekOrigin::kCurrent);
    return;
  }
  // Skipped bytes still count in the folding's checksum.
  uint8_t chunk[4096];
  while (count > 0) {
    const int64_t n = std::min<int64_t>(count, sizeof chunk);
    ReadBuffer(chunk, n);
    count -= n;
  }
}

void TVistaReader::SkipField() {
  Skip(ReadSize());
}

void TVistaReader::MarkBlock(int32_t size) {
  block_start_ = Pos();
  block_size_ = size;
}

void TVistaReader::SkipToBlockEnd() {
  Skip(block_start_ + block_size_ - Pos());
}
