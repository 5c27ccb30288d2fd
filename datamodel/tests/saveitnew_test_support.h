// Test support for the save component: monitor-data files and other data files
// built by hand, field by field, and stand-ins for the classes that the loader
// creates through the registries but that are not part of the data model yet.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassParser.h"
#include "datafile/tests/test_support.h"
#include "datamodel/DataModel.h"
#include "datamodel/PointsU.h"
#include "datamodel/SaveITNew.h"
#include "datamodel/Series_C.h"
#include "datamodel/Series_CObject.h"
#include "platform/tests/temp_folder.h"

namespace save_test {

using qor_test::Bytes;
using qor_test::MessageOf;

inline Bytes StrField(int32_t tag, std::string_view text) {
  return Bytes().I32(tag).Str(text);
}
inline Bytes IntField(int32_t tag, int32_t value) {
  return Bytes().I32(tag).I32(4).I32(value);
}
inline Bytes ByteField(int32_t tag, uint8_t value) {
  return Bytes().I32(tag).I32(1).U8(value);
}
inline Bytes DoubleField(int32_t tag, double value) {
  return Bytes().I32(tag).I32(8).F64(value);
}
inline Bytes Record(int32_t tag, const Bytes& body) {
  return qor_test::PlainRecord(tag, body);
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts)
    all.Append(part);
  return all;
}

// Record 220 as the monitor-data file holds it: 26 bytes.
inline Bytes DataPoint(int16_t index, double time, double value) {
  return Bytes().I32(220).I32(18).I16(index).F64(time).F64(value);
}

struct Definition {
  int16_t index = 0;
  std::string name;
  std::string place;
  std::string extra;
  std::string unit;
  std::string id;
};

// Record 210: int 211 (the index's 16 bits without sign), str 212 .. 216.
inline Bytes DefinitionRecord(const Definition& d) {
  return Record(210, Cat({IntField(211, static_cast<uint16_t>(d.index)), StrField(212, d.name),
                          StrField(213, d.place), StrField(214, d.extra), StrField(215, d.unit),
                          StrField(216, d.id)}));
}

struct Identity {
  std::string monitor = "Radiometer ABLxxx";
  std::string detail;
  std::string patient_id = "123456-7890";
  std::string patient_name = "Berg";
};

// A plain data file of version Version: record 1 holding field 9 and Body.
inline Bytes DataFile(const Bytes& body, std::string_view version = "2.0") {
  return Record(
      1, Cat({StrField(9, "QOR Fluvantronics Save File Header " + std::string(version)), body}));
}

// The monitor-data file as OpenMonitorFile makes it (definitions before the block,
// Reserved zero bytes in it), followed by After (the data points).
inline Bytes MonitorFile(const Identity& who, int32_t reserved,
                         const std::vector<Definition>& definitions = {},
                         const Bytes& after = Bytes()) {
  Bytes body =
      Cat({Record(3, Cat({IntField(2, 8), IntField(30, 0)})),
           Record(200, Cat({StrField(201, who.monitor), StrField(202, who.detail),
                            StrField(203, who.patient_id), StrField(204, who.patient_name)}))});
  for (const Definition& d : definitions)
    body.Append(DefinitionRecord(d));
  body.Append(Record(205, Bytes().Raw(std::string(static_cast<size_t>(reserved), '\0').data(),
                                      static_cast<size_t>(reserved))));
  return DataFile(body).Append(after);
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.vec().data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline void AppendBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file.write(reinterpret_cast<const char*>(bytes.vec().data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>());
}

inline size_t EntryCount(const std::string& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
    ++count;
  return count;
}

// The items of class T in Items, in order.
template <typename T>
std::vector<T*> ItemsOf(const TSaveItNew& save) {
  std::vector<T*> found;
  for (const auto& item : save.Items())
    if (auto* t = dynamic_cast<T*>(item.get())) found.push_back(t);
  return found;
}

inline std::vector<double> XsOf(const TSerieObject& serie) {
  std::vector<double> xs;
  for (const auto& point : serie.DataSet().Points())
    xs.push_back(point->XValue);
  return xs;
}
inline std::vector<double> YsOf(const TSerieObject& serie) {
  std::vector<double> ys;
  for (const auto& point : serie.DataSet().Points())
    ys.push_back(point->YValue);
  return ys;
}

// --- Stand-ins --------------------------------------------------------------
//
// The loader creates category series (-13) through the prototype registry and
// video series (23) through the series class registry. Until those classes join
// the data model, these stand-ins take their places; a real class, registered
// first by the data model's start, is found before its stand-in. (The care-event
// classes, -7 and -6, are always registered by the data model's start: a load
// never meets their records without a class.) Each stand-in creates nothing
// while switched off, so that the path of a record without a class can be tested
// too.

struct StandIns {
  static bool& Enabled() {
    static bool enabled = true;
    return enabled;
  }
};

class StandInCategorySerie : public TSerieObject {
 public:
  StandInCategorySerie() : TSerieObject(nullptr) {}
  std::string_view ClassName() const override { return "StandInCategorySerie"; }
  int32_t RecordType() const override { return -13; }
  std::unique_ptr<TObject> CreateEmpty() const override {
    if (!StandIns::Enabled()) return nullptr;
    return std::make_unique<StandInCategorySerie>();
  }
};

class StandInVideoSerie : public TSerieObject {
 public:
  static constexpr std::string_view kClassName = "StandInVideoSerie";
  static constexpr int32_t kRecordType = 23;
  explicit StandInVideoSerie(TQORDataSet* data_set) : TSerieObject(data_set) {}
  std::string_view ClassName() const override { return kClassName; }
  int32_t RecordType() const override { return kRecordType; }
};

class StandInVideoSerieClass final : public TSerieClass {
 public:
  std::string_view Name() const override { return StandInVideoSerie::kClassName; }
  int32_t RecordType() const override { return StandInVideoSerie::kRecordType; }
  std::unique_ptr<TSerieObject> Create(TQORDataSet* data_set) const override {
    if (!StandIns::Enabled()) return nullptr;
    return std::make_unique<StandInVideoSerie>(data_set);
  }
};

// The data model's start, then the stand-ins, once per process.
inline void RegisterWithStandIns() {
  static const bool registered = [] {
    RegisterDataModel();
    TVistaStreamParser::RegisterPrototype(std::make_unique<StandInCategorySerie>());
    static const StandInVideoSerieClass video_class;
    RegisterSerieClass(video_class);
    return true;
  }();
  (void)registered;
}

// Whether the class the loader finds for a record type is a real one rather than
// its stand-in: then the stand-in cannot be switched off.
inline bool RealSerieClassFor(int32_t record_type) {
  for (const TSerieClass* serie_class : SerieClasses())
    if (serie_class->RecordType() == record_type)
      return serie_class->Name().substr(0, 7) != "StandIn";
  return false;
}

// Switches the stand-ins off for a scope.
class StandInsOff {
 public:
  StandInsOff() { StandIns::Enabled() = false; }
  ~StandInsOff() { StandIns::Enabled() = true; }
};

// A save component on a fresh folder, with its notices recorded.
class SaveFixture : public ::testing::Test {
 protected:
  SaveFixture() {
    RegisterWithStandIns();
    save_.OnNotice = [this](const TSaveNotice& notice) { notices_.push_back(notice); };
  }
  std::string PathOf(const std::string& name) const { return folder_.path() + "/" + name; }
  void Use(const std::string& name) { save_.FileName = PathOf(name); }

  platform_test::TempFolder folder_{"saveitnew_test"};
  TSaveItNew save_{nullptr};
  std::vector<TSaveNotice> notices_;
};

}  // namespace save_test
