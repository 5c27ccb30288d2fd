#include <gtest/gtest.h>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/tests/test_support.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace {

using qor_test::Bytes;

std::vector<uint8_t> Write(IPersistIT& object, bool checksums) {
  platform::MemoryStream stream;
  TVistaWriter writer;
  writer.SetUseChecksums(checksums);
  writer.SetStream(&stream);
  EXPECT_TRUE(object.WriteTo(writer));
  return qor_test::Contents(stream);
}

// Wraps a record's bytes into a plain file and feeds the record's fields to Object.
void ReadInto(IPersistIT& object, const Bytes& record) {
  Bytes file = Bytes().I32(1).I32(50).I32(9).Str("QOR Fluvantronics Save File Header 2.0");
  file.Append(record);
  platform::MemoryStream stream;
  qor_test::Fill(stream, file.vec());
  struct Handler {
    static void Read(void* user, int32_t tag, TVistaReader& reader) {
      auto& target = *static_cast<IPersistIT*>(user);
      if (tag == target.RecordType()) {
        reader.BeginFolding(tag);
      } else {
        target.ReadField(tag, reader);
      }
    }
  };
  TVistaReader reader;
  reader.Read(stream, &Handler::Read, &object);
}

Bytes Record(int32_t tag, const Bytes& body, bool checksums) {
  return checksums ? qor_test::CheckedRecord(tag, body) : qor_test::PlainRecord(tag, body);
}

TEST(IdentityTest, PatientRecordLayoutInBothModes) {
  TUniquePatientInformation patient;
  patient.Registered = true;
  patient.RegisteredNo = 7;
  patient.PatientName = "Berg";
  Bytes body;
  body.I32(2021).I32(1).U8(1);
  body.I32(2022).I32(4).I32(7);
  body.I32(2023).Str("Berg");
  for (bool checksums : {false, true}) {
    SCOPED_TRACE(checksums);
    EXPECT_EQ(Write(patient, checksums), Record(-23, body, checksums).vec());
  }
}

TEST(IdentityTest, ParameterRecordLayoutInBothModes) {
  TUniqueParameterInformation parameter;
  parameter.SetParameterID("ID");
  parameter.SetParameterName("pO2");
  parameter.SetMeasurementPlace("art");
  parameter.SetParamExtraName("");
  parameter.SetDisplayName("PaO2");
  Bytes body;
  body.I32(2024).Str("ID");
  body.I32(2025).Str("pO2");
  body.I32(2026).Str("art");
  body.I32(2027).Str("");
  body.I32(2028).Str("PaO2");
  for (bool checksums : {false, true}) {
    SCOPED_TRACE(checksums);
    EXPECT_EQ(Write(parameter, checksums), Record(-24, body, checksums).vec());
  }
}

TEST(IdentityTest, PatientRecordReadsBackAndSkipsUnknownFields) {
  Bytes body;
  body.I32(2021).I32(1).U8(1);
  body.I32(5555).I32(3).U8(1).U8(2).U8(3);
  body.I32(2022).I32(4).I32(-3);
  body.I32(2023).Str("Lind");
  TUniquePatientInformation patient;
  ReadInto(patient, Record(-23, body, false));
  EXPECT_TRUE(patient.Registered);
  EXPECT_EQ(patient.RegisteredNo, -3);
  EXPECT_EQ(patient.PatientName, "Lind");
}

TEST(IdentityTest, DisplayNameFollowsTheOrderOfTheFields) {
  const auto record = [](std::initializer_list<std::pair<int32_t, const char*>> fields) {
    Bytes body;
    for (const auto& [tag, text] : fields)
      body.I32(tag).Str(text);
    return qor_test::PlainRecord(-24, body);
  };
  TUniqueParameterInformation written_order;
  ReadInto(written_order, record({{2025, "pCO2"}, {2028, "PaCO2"}}));
  EXPECT_EQ(written_order.DisplayName(), "PaCO2");

  TUniqueParameterInformation reversed;
  ReadInto(reversed, record({{2028, "PaCO2"}, {2025, " pCO2\t"}}));
  EXPECT_EQ(reversed.ParameterName(), "pCO2");
  EXPECT_EQ(reversed.DisplayName(), "pCO2");
}

TEST(IdentityTest, SettersTrimBlanksAndControlCharacters) {
  TUniqueParameterInformation parameter;
  parameter.SetParameterName("  \tpH \r\n");
  EXPECT_EQ(parameter.ParameterName(), "pH");
  EXPECT_EQ(parameter.DisplayName(), "pH");
  parameter.SetMeasurementPlace(" ven ");
  parameter.SetParamExtraName("\x01x y\x1F");
  parameter.SetParameterID(" 12 ");
  EXPECT_EQ(parameter.MeasurementPlace(), "ven");
  EXPECT_EQ(parameter.ParamExtraName(), "x y");
  EXPECT_EQ(parameter.ParameterID(), "12");
}

TEST(IdentityTest, ParameterIsSame) {
  struct Case {
    const char* name;
    const char *id_a, *id_b, *name_a, *name_b, *place_b;
    bool same;
  };
  const Case cases[] = {
      {"different IDs, same names", "1", "2", "pH", "pH", "art", true},
      {"same IDs, different names", "1", "1", "pH", "pO2", "art", true},
      {"same IDs, different places", "1", "1", "pH", "pH", "ven", false},
      {"own ID empty, names differ", "", "", "pH", "pO2", "art", false},
      {"own ID empty, other's not, names equal", "", "9", "pH", "pH", "art", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TUniqueParameterInformation a, b;
    a.SetParameterID(c.id_a);
    b.SetParameterID(c.id_b);
    a.SetParameterName(c.name_a);
    b.SetParameterName(c.name_b);
    a.SetMeasurementPlace("art");
    b.SetMeasurementPlace(c.place_b);
    EXPECT_EQ(a.IsSame(b), c.same);
  }
  TUniqueParameterInformation a, b;
  a.SetParameterName("pH");
  b.SetParameterName("pH");
  b.SetParamExtraName("corr");
  EXPECT_FALSE(a.IsSame(b));
}

TEST(IdentityTest, PatientIsSameComparesExactly) {
  TUniquePatientInformation a, b;
  a.PatientName = "Berg";
  b.PatientName = "Berg";
  EXPECT_TRUE(a.IsSame(b));
  b.PatientName = "berg";
  EXPECT_FALSE(a.IsSame(b));
  b.PatientName = "Berg";
  b.RegisteredNo = 1;
  EXPECT_FALSE(a.IsSame(b));
}

TEST(IdentityTest, AssignmentCopiesAndRefusesOtherClasses) {
  TUniqueParameterInformation source;
  source.SetParameterName("pH");
  source.SetDisplayName("pH (art)");
  source.SetParameterID("7");
  TUniqueParameterInformation copy;
  copy.Assign(source);
  EXPECT_EQ(copy.ParameterID(), "7");
  EXPECT_EQ(copy.ParameterName(), "pH");
  EXPECT_EQ(copy.DisplayName(), "pH (art)");

  TUniquePatientInformation patient;
  patient.PatientName = "Berg";
  TUniquePatientInformation patient_copy;
  patient_copy.Assign(patient);
  EXPECT_EQ(patient_copy.PatientName, "Berg");

  EXPECT_EQ(qor_test::MessageOf<EConvertError>([&] { copy.Assign(patient); }),
            "Cannot assign a TUniquePatientInformation to a TUniqueParameterInformation");
}

TEST(IdentityTest, InterfaceCountsNoReferences) {
  TUniquePatientInformation patient;
  IPersistIT& intf = patient;
  EXPECT_EQ(intf._AddRef(), -1);
  EXPECT_EQ(intf._Release(), -1);
  EXPECT_EQ(intf._Release(), -1);
  EXPECT_EQ(intf.RecordType(), -23);
  std::unique_ptr<TObject> empty = intf.CreateEmpty();
  auto* created = dynamic_cast<TUniquePatientInformation*>(empty.get());
  ASSERT_NE(created, nullptr);
  EXPECT_NE(created, &patient);
  EXPECT_TRUE(created->PatientName.empty());
}

TEST(IdentityTest, PersistBaseHasNoRecordType) {
  TPersistIt base;
  EXPECT_EQ(qor_test::MessageOf<Exception>([&] { base.RecordType(); }),
            "Exception:RecordType not implemented for this class. jhdsa783241");
  EXPECT_EQ(base.CreateEmpty(), nullptr);
}

}  // namespace
