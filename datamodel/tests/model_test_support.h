// Test support for the data model: writing an object's record alone or inside a
// file, and reading a file into an object the way the loaders do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datafile/QORClassPersist.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/tests/test_support.h"
#include "platform/random.h"
#include "platform/stream.h"

namespace model_test {

using qor_test::Bytes;

// The bytes Write writes at the outermost level of a plain stream (no header).
inline std::vector<uint8_t> Written(const std::function<void(TVistaWriter&)>& write) {
  platform::MemoryStream stream;
  TVistaWriter writer;
  writer.SetStream(&stream);
  write(writer);
  return qor_test::Contents(stream);
}

// A whole file, with or without checksums, holding what Body writes in its header
// record.
inline void WriteFile(platform::MemoryStream& file, bool checksums,
                      const std::function<void(TVistaWriter&)>& body) {
  qor_test::WriteFile(file, checksums, body);
}

// A plain file of the given records (and fields) built by hand.
inline std::vector<uint8_t> PlainFile(const Bytes& body) {
  Bytes header = Bytes().I32(9).Str("QOR Fluvantronics Save File Header 2.0").Append(body);
  return qor_test::PlainRecord(1, header).vec();
}

// Reads File as the loaders do: a record of Tag at the file's top level is entered
// with Target as its object and every field inside it goes to Target's ReadField;
// with Tag 0 every top-level tag goes to Target (points read their own records).
// Returns the reader's result.
inline bool ReadInto(IPersistIT& target, TObject* target_object, platform::MemoryStream& file,
                     int32_t tag) {
  struct Context {
    IPersistIT* target;
    TObject* object;
    int32_t tag;
  } context{&target, target_object, tag};
  TVistaReader reader;
  file.SetPosition(0);
  return reader.Read(
      file,
      [](void* user_data, int32_t field, TVistaReader& r) {
        auto& c = *static_cast<Context*>(user_data);
        // The header record counts as open in a checksummed file only.
        const int32_t top = r.FoldingMode() ? 1 : 0;
        if (r.Depth() == top && c.tag != 0 && field == c.tag) {
          r.BeginFolding(field);
          r.SetCurrentObject(c.object);
          return;
        }
        if (r.Depth() > top || c.tag == 0) {
          c.target->ReadField(field, r);
          return;
        }
        r.SkipField();
      },
      &context);
}

template <typename T>
bool ReadInto(T& target, platform::MemoryStream& file, int32_t tag) {
  return ReadInto(static_cast<IPersistIT&>(target), &target, file, tag);
}

// The fields a fresh data set named Name writes before its points: 11, 71-79 (the
// option bits of a new data set), 17 and 18.
inline Bytes EmptyDataSetFields(const std::string& name) {
  Bytes bytes;
  bytes.I32(11).Str(name);
  const uint8_t bits[] = {1, 0, 1, 0, 0, 1, 0, 0, 0};
  for (int i = 0; i < 9; ++i)
    bytes.I32(71 + i).I32(1).U8(bits[i]);
  return bytes.I32(17).I32(8).F64(0).I32(18).I32(8).F64(0);
}

// Answers every draw with a fixed value.
class FixedRandom : public platform::RandomSource {
 public:
  explicit FixedRandom(double value = 0.5) : value_(value) {}
  double Uniform() override { return value_; }
  int32_t Below(int32_t bound) override { return static_cast<int32_t>(value_ * bound); }
  void Randomize() override {}

 private:
  double value_;
};

}  // namespace model_test
