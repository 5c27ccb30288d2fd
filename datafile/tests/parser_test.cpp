#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassParser.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/tests/test_support.h"
#include "platform/exception.h"
#include "platform/random.h"
#include "platform/stream.h"

namespace {

// Answers every draw with a fixed value and counts the draws.
class FixedRandom : public platform::RandomSource {
 public:
  explicit FixedRandom(double value) : value_(value) {}
  double Uniform() override {
    ++draws;
    return value_;
  }
  int32_t Below(int32_t) override { return 0; }
  void Randomize() override {}
  int draws = 0;

 private:
  double value_;
};

// A persistable class whose record type and name are set per instance, and which
// logs what the parser does with it.
class Probe : public TPersistIt {
 public:
  Probe(int32_t type, std::string name, std::vector<std::string>* log = nullptr)
      : type_(type), name_(std::move(name)), log_(log) {}
  int32_t RecordType() const override { return type_; }
  std::unique_ptr<TObject> CreateEmpty() const override {
    return std::make_unique<Probe>(type_, name_ + "'", log_);
  }
  void ReadDone() override {
    if (log_) log_->push_back(name_ + ".ReadDone");
  }
  void AddSubObject(std::unique_ptr<TObject> object) override {
    if (log_) log_->push_back(name_ + ".Add(" + static_cast<Probe&>(*object).name_ + ")");
    children.push_back(std::move(object));
  }
  const std::string& name() const { return name_; }
  std::vector<std::unique_ptr<TObject>> children;

 private:
  int32_t type_;
  std::string name_;
  std::vector<std::string>* log_;
};

std::vector<std::string> Names(const TPrototypeRegistry& registry) {
  std::vector<std::string> names;
  for (size_t i = 0; i < registry.Count(); ++i)
    names.push_back(dynamic_cast<const Probe&>(registry.At(i)).name());
  return names;
}

TPrototypeRegistry FiveProbes() {
  TPrototypeRegistry registry;
  for (int i = 0; i < 5; ++i)
    registry.Register(std::make_unique<Probe>(10 + i, std::string(1, static_cast<char>('a' + i))));
  return registry;
}

TEST(PrototypeRegistryTest, LookupCreatesAnEmptySibling) {
  FixedRandom random(0.9999);
  platform::ScopedRandomSource scoped(random);
  TPrototypeRegistry registry = FiveProbes();
  std::unique_ptr<TObject> object = registry.CreateByRecordType(10);
  ASSERT_NE(object, nullptr);
  EXPECT_NE(object.get(), &registry.At(0));
  EXPECT_EQ(static_cast<Probe&>(*object).name(), "a'");
  // A hit at the front neither draws nor moves.
  EXPECT_EQ(random.draws, 0);
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"a", "b", "c", "d", "e"}));

  EXPECT_EQ(registry.CreateByRecordType(-1000), nullptr);
  EXPECT_EQ(Names(registry), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST(PrototypeRegistryTest, FrequentHitsDriftTowardTheFront) {
  struct Case {
    double draw;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {0.9991, {"a", "b", "c", "e", "d"}},
      {0.999, {"a", "b", "c", "d", "e"}},
      {0.0, {"a", "b", "c", "d", "e"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.draw);
    FixedRandom random(c.draw);
    platform::ScopedRandomSource scoped(random);
    TPrototypeRegistry registry = FiveProbes();
    std::unique_ptr<TObject> object = registry.CreateByRecordType(14);
    // The object comes from the prototype found, before it moves.
    EXPECT_EQ(static_cast<Probe&>(*object).name(), "e'");
    EXPECT_EQ(random.draws, 1);
    EXPECT_EQ(Names(registry), c.after);
  }
}

TEST(PrototypeRegistryTest, SharedRecordTypeYieldsTheFirstInTheList) {
  FixedRandom random(0.0);
  platform::ScopedRandomSource scoped(random);
  TPrototypeRegistry registry;
  registry.Register(std::make_unique<TObject>());  // no persistence interface: passed over
  registry.Register(std::make_unique<Probe>(0, "simple"));
  registry.Register(std::make_unique<Probe>(0, "value"));
  std::unique_ptr<TObject> object = registry.CreateByRecordType(0);
  EXPECT_EQ(static_cast<Probe&>(*object).name(), "simple'");
}

TEST(StreamParserTest, ClosingRecordsHandsChildrenToParentsAndParentsToResults) {
  std::vector<std::string> log;
  TVistaStreamParser parser(nullptr);
  TVistaReader& reader = parser.Reader();
  parser.PushObject(std::make_unique<Probe>(1, "parent", &log));
  parser.PushObject(std::make_unique<Probe>(2, "child", &log));
  parser.FoldingEnded(reader, 0, true);
  EXPECT_EQ(log, (std::vector<std::string>{"child.ReadDone", "parent.Add(child)"}));
  EXPECT_TRUE(parser.Results().empty());
  parser.FoldingEnded(reader, 0, true);
  EXPECT_EQ(log.back(), "parent.ReadDone");
  ASSERT_EQ(parser.Results().size(), 1u);
  EXPECT_EQ(static_cast<const Probe&>(*parser.Results()[0]).children.size(), 1u);
  EXPECT_EQ(parser.CurrentIntf(), nullptr);
  // A record that closes with no object open only drops the current object.
  parser.FoldingEnded(reader, 0, true);
  EXPECT_EQ(parser.Results().size(), 1u);
}

TEST(StreamParserTest, ObjectsWithoutTheInterfaceAreRefused) {
  TVistaStreamParser parser(nullptr);
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { parser.PushObject(std::make_unique<TObject>()); }),
            "Exception:Could not get Interface. daiu873");
  EXPECT_EQ(parser.OpenObjects(), 0u);
}

TEST(StreamParserTest, ParsesIdentityRecordsIntoObjects) {
  RegisterIdentityPrototypes();
  for (bool checksums : {true, false}) {
    SCOPED_TRACE(checksums);
    platform::MemoryStream file;
    TVistaWriter writer;
    writer.SetUseChecksums(checksums);
    writer.SetStream(&file);
    writer.WriteHeader();
    writer.WriteStringField(2019, "note");
    TUniquePatientInformation patient;
    patient.PatientName = "Berg";
    patient.RegisteredNo = 3;
    patient.WriteTo(writer);
    TUniqueParameterInformation parameter;
    parameter.SetParameterName("pH");
    parameter.WriteTo(writer);
    writer.FinishFile();
    file.SetPosition(0);

    TVistaStreamParser parser(nullptr);
    std::vector<std::string> created;
    parser.SetOnObjectCreated([&created](TVistaStreamParser&, TObject& object) {
      created.emplace_back(object.ClassName());
    });
    EXPECT_TRUE(parser.Parse(file));
    EXPECT_EQ(created, (std::vector<std::string>{"TUniquePatientInformation",
                                                 "TUniqueParameterInformation"}));
    EXPECT_EQ(parser.Tag2019Text(), "note");
    ASSERT_EQ(parser.Results().size(), 2u);
    auto& read_patient = dynamic_cast<TUniquePatientInformation&>(*parser.Results()[0]);
    EXPECT_TRUE(read_patient.IsSame(patient));
    auto& read_parameter = dynamic_cast<TUniqueParameterInformation&>(*parser.Results()[1]);
    EXPECT_EQ(read_parameter.DisplayName(), "pH");
    EXPECT_EQ(parser.OpenObjects(), 0u);
  }
}

// Record types of the classes below, far from the system's own.
constexpr int32_t kBandRecord = 9013;
constexpr int32_t kMarkRecord = 9015;
constexpr int32_t kLineSeriesRecord = 9004;
constexpr int32_t kGuideRecord = 9159;
constexpr int32_t kGuideValueField = 9160;
constexpr int32_t kNoteField = 9001;

// Shaped like a category series: its marks are records of a registered record type
// that it reads itself, as groups of raw values.
class Band : public TPersistIt {
 public:
  int32_t RecordType() const override { return kBandRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override { return std::make_unique<Band>(); }
  bool ReadsOwnRecord(int32_t tag) const override { return tag == kMarkRecord; }
  void ReadField(int32_t tag, TVistaReader& reader) override {
    if (tag == kMarkRecord) {
      reader.BeginGroup(reader.ReadSize());
      int32_t value;
      reader.ReadBuffer(&value, 4);
      marks.push_back(value);
      reader.EndGroup();
    } else if (tag == kNoteField) {
      note = reader.ReadStringField();
    } else {
      reader.SkipField();
    }
  }
  std::vector<int32_t> marks;
  std::string note;
};

// A plain record of a registered type, created by the parser when it stands
// where nobody reads it.
class Mark : public TPersistIt {
 public:
  int32_t RecordType() const override { return kMarkRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override { return std::make_unique<Mark>(); }
};

// Shaped like a series with help lines: it enters each guide record itself and
// hands the guide's fields on while the reader's current object is that guide.
class LineSeries : public TPersistIt {
 public:
  struct Guide : public TPersistIt {
    void ReadField(int32_t tag, TVistaReader& reader) override {
      if (tag == kGuideValueField) {
        value = reader.ReadDoubleField();
      } else {
        reader.SkipField();
      }
    }
    double value = 0;
  };

  int32_t RecordType() const override { return kLineSeriesRecord; }
  std::unique_ptr<TObject> CreateEmpty() const override { return std::make_unique<LineSeries>(); }
  void ReadField(int32_t tag, TVistaReader& reader) override {
    if (tag == kGuideRecord) {
      guides.push_back(std::make_unique<Guide>());
      reader.BeginFolding(tag);
      reader.SetCurrentObject(guides.back().get());
    } else if (auto* guide = dynamic_cast<Guide*>(reader.CurrentObject())) {
      guide->ReadField(tag, reader);
    } else if (tag == kNoteField) {
      note = reader.ReadStringField();
    } else {
      reader.SkipField();
    }
  }
  void ReadDone() override { read_done = true; }
  std::vector<std::unique_ptr<Guide>> guides;
  std::string note;
  bool read_done = false;
};

void RegisterShapedPrototypes() {
  static const bool registered = [] {
    TVistaStreamParser::RegisterPrototype(std::make_unique<Band>());
    TVistaStreamParser::RegisterPrototype(std::make_unique<Mark>());
    TVistaStreamParser::RegisterPrototype(std::make_unique<LineSeries>());
    return true;
  }();
  (void)registered;
}

TEST(StreamParserTest, RecordsAnObjectReadsItselfCreateNoObjects) {
  RegisterShapedPrototypes();
  for (bool checksums : {true, false}) {
    SCOPED_TRACE(checksums);
    platform::MemoryStream file;
    qor_test::WriteFile(file, checksums, [](TVistaWriter& writer) {
      writer.BeginFolding(kBandRecord);
      for (int32_t value : {7, 8}) {
        writer.BeginGroup(kMarkRecord);
        writer.WriteInt32(value);
        writer.EndGroup();
      }
      writer.WriteStringField(kNoteField, "after the marks");
      writer.EndFolding();
      // The same record type outside the band is an object of its own.
      writer.BeginFolding(kMarkRecord);
      writer.EndFolding();
    });
    TVistaStreamParser parser(nullptr);
    std::vector<std::string> created;
    parser.SetOnObjectCreated([&created](TVistaStreamParser&, TObject& object) {
      created.emplace_back(object.ClassName());
    });
    EXPECT_TRUE(parser.Parse(file));
    ASSERT_EQ(parser.Results().size(), 2u);
    const auto& band = dynamic_cast<const Band&>(*parser.Results()[0]);
    EXPECT_EQ(band.marks, (std::vector<int32_t>{7, 8}));
    EXPECT_EQ(band.note, "after the marks");
    EXPECT_NE(dynamic_cast<const Mark*>(parser.Results()[1].get()), nullptr);
    EXPECT_EQ(created.size(), 2u);
  }
}

TEST(StreamParserTest, RecordsAnObjectEntersItselfLeaveItOpen) {
  RegisterShapedPrototypes();
  for (bool checksums : {true, false}) {
    SCOPED_TRACE(checksums);
    platform::MemoryStream file;
    qor_test::WriteFile(file, checksums, [](TVistaWriter& writer) {
      writer.BeginFolding(kLineSeriesRecord);
      for (double value : {1.5, 2.5}) {
        writer.BeginFolding(kGuideRecord);
        writer.WriteDoubleField(kGuideValueField, value);
        // A registered record type inside the guide belongs to the guide, which
        // skips it.
        writer.BeginFolding(kMarkRecord);
        writer.EndFolding();
        writer.EndFolding();
      }
      writer.WriteStringField(kNoteField, "after the guides");
      writer.EndFolding();
      // The last record ends with a record of its own, with the stream.
      writer.BeginFolding(kLineSeriesRecord);
      writer.BeginFolding(kGuideRecord);
      writer.EndFolding();
      writer.EndFolding();
    });
    TVistaStreamParser parser(nullptr);
    EXPECT_TRUE(parser.Parse(file));
    EXPECT_EQ(parser.OpenObjects(), 0u);
    ASSERT_EQ(parser.Results().size(), 2u);
    const auto& series = dynamic_cast<const LineSeries&>(*parser.Results()[0]);
    ASSERT_EQ(series.guides.size(), 2u);
    EXPECT_EQ(series.guides[0]->value, 1.5);
    EXPECT_EQ(series.guides[1]->value, 2.5);
    EXPECT_EQ(series.note, "after the guides");
    EXPECT_TRUE(series.read_done);
    EXPECT_EQ(dynamic_cast<const LineSeries&>(*parser.Results()[1]).guides.size(), 1u);
  }
}

TEST(StreamParserTest, PublishedProperties) {
  TVistaStreamParser parser(nullptr);
  parser.SetAbout("something else");
  EXPECT_EQ(parser.About(), "Project: Vorta (Wardvorta, Benchvorta)  Version: 1.2.0.15");
  EXPECT_EQ(parser.RecordType(), -1);
  EXPECT_TRUE(parser.Writer().UseChecksums());
  std::unique_ptr<TObject> empty = parser.CreateEmpty();
  auto* other = dynamic_cast<TVistaStreamParser*>(empty.get());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->Owner(), nullptr);
}

}  // namespace
