#include "datafile/QORClassWriter.h"

#include <limits>
#include <string>

#include "platform/exception.h"
#include "platform/stream.h"

TVistaWriter::TVistaWriter() = default;
TVistaWriter::~TVistaWriter() = default;

void TVistaWriter::SetStream(platform::Stream* stream) {
  // Records left open by an abandoned file belong to that file, not to the next.
  while (!folding_stack_.empty()) {
    spare_bodies_.push_back(std::move(folding_stack_.back().body));
    folding_stack_.pop_back();
  }
  checksum_ = 0;
  target_stream_ = stream;
  stream_ = stream;
  memory_ = dynamic_cast<platform::MemoryStream*>(stream);
}

void TVistaWriter::Put(const void* buffer, int64_t count) {
  if (memory_) {
    memory_->WriteInline(buffer, count);
  } else if (stream_) {
    stream_->WriteBuffer(buffer, count);
  } else {
    throw Exception("Exception:No Stream");
  }
  if (use_checksums_) AddToChecksum(buffer, count);
}

void TVistaWriter::WriteHeader() {
  BeginFolding(qor::kHeaderRecordTag);
  std::string text(use_checksums_ ? qor::kChecksumHeaderText : qor::kPlainHeaderText);
  text += std::to_string(major_version_) + "." + std::to_string(minor_version_);
  WriteStringField(qor::kHeaderTextTag, text);
}

void TVistaWriter::FinishFile() {
  EndFolding();
}

void TVistaWriter::OpenRecord(int32_t tag, bool is_folding) {
  TWriteFoldingObject entry;
  entry.is_folding = is_folding;
  entry.outer_stream = stream_;
  entry.outer_memory = memory_;
  entry.saved_checksum = checksum_;
  if (spare_bodies_.empty()) {
    entry.body = std::make_unique<platform::MemoryStream>();
  } else {
    entry.body = std::move(spare_bodies_.back());
    spare_bodies_.pop_back();
    entry.body->Clear();
  }
  platform::MemoryStream* body = entry.body.get();
  folding_stack_.push_back(std::move(entry));
  // A folding's checksum starts with its own tag; a group's bytes simply count in
  // the checksum of the folding around it.
  if (is_folding) checksum_ = 0;
  Put(&tag, sizeof tag);
  stream_ = body;
  memory_ = body;
}

void TVistaWriter::BeginFolding(int32_t tag) {
  OpenRecord(tag, true);
}

void TVistaWriter::BeginGroup(int32_t tag) {
  OpenRecord(tag, false);
}

void TVistaWriter::CheckClose(bool is_folding) const {
  if (folding_stack_.empty()) throw Exception("Exception:Foldings do not match");
  if (folding_stack_.back().is_folding != is_folding)
    throw Exception("Exception:Groups and foldings have been mixed up");
}

void TVistaWriter::CloseRecord(int32_t size_field) {
  TWriteFoldingObject& entry = folding_stack_.back();
  platform::MemoryStream& body = *entry.body;
  stream_ = entry.outer_stream;
  memory_ = entry.outer_memory;
  if (memory_) {
    memory_->WriteInline(&size_field, sizeof size_field);
    memory_->WriteInline(body.Memory(), body.Size());
  } else {
    stream_->WriteBuffer(&size_field, sizeof size_field);
    stream_->WriteBuffer(body.Memory(), body.Size());
  }
  spare_bodies_.push_back(std::move(entry.body));
  folding_stack_.pop_back();
}

namespace {

int32_t RecordSize(int64_t body_size) {
  // A record larger than a size field can state cannot be written.
  if (body_size > std::numeric_limits<int32_t>::max()) throw EWriteError();
  return static_cast<int32_t>(body_size);
}

}  // namespace

bool TVistaWriter::EndFolding() {
  CheckClose(true);
  TWriteFoldingObject& entry = folding_stack_.back();
  int32_t size = RecordSize(entry.body->Size() + (use_checksums_ ? 1 : 0));
  if (use_checksums_) {
    AddToChecksum(&size, sizeof size);
    const uint8_t check = checksum_;
    entry.body->WriteBuffer(&check, 1);
    // The enclosing folding counts every byte of this one: tag, size and body sum
    // to the check byte, and the check byte itself adds it once more.
    entry.saved_checksum = static_cast<uint8_t>(entry.saved_checksum + 2 * check);
  }
  const uint8_t outer_checksum = entry.saved_checksum;
  CloseRecord(size);
  checksum_ = outer_checksum;
  return true;
}

void TVistaWriter::EndGroup() {
  CheckClose(false);
  const int32_t size = RecordSize(folding_stack_.back().body->Size());
  CloseRecord(size);
  if (use_checksums_) AddToChecksum(&size, sizeof size);
}

void TVistaWriter::WriteFieldHeader(int32_t tag, int32_t size) {
  const int32_t header[2] = {tag, size};
  Put(header, sizeof header);
}

void TVistaWriter::WriteByteField(int32_t tag, uint8_t value) {
  WriteFieldHeader(tag, 1);
  Put(&value, 1);
}

void TVistaWriter::WriteIntegerField(int32_t tag, int32_t value) {
  WriteFieldHeader(tag, 4);
  Put(&value, sizeof value);
}

void TVistaWriter::WriteDoubleField(int32_t tag, double value) {
  WriteFieldHeader(tag, 8);
  Put(&value, sizeof value);
}

void TVistaWriter::WriteBufferField(int32_t tag, const void* buffer, int32_t count) {
  WriteFieldHeader(tag, count);
  Put(buffer, count);
}

void TVistaWriter::WriteStringField(int32_t tag, std::string_view text) {
  Put(&tag, sizeof tag);
  WriteString(text);
}

void TVistaWriter::WriteString(std::string_view text) {
  const int32_t header[2] = {RecordSize(static_cast<int64_t>(text.size()) + 4), 1};
  Put(header, sizeof header);
  Put(text.data(), static_cast<int64_t>(text.size()));
}

void TVistaWriter::WriteBuffer(const void* buffer, int64_t count) {
  Put(buffer, count);
}

void TVistaWriter::WriteInt32(int32_t value) {
  Put(&value, sizeof value);
}
