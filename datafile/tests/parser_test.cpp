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
