#include "datafile/QORClassIdentity.h"

#include "datafile/QORClassParser.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "platform/format_text.h"

namespace {

constexpr int32_t kRegisteredField = 2021;
constexpr int32_t kRegisteredNoField = 2022;
constexpr int32_t kPatientNameField = 2023;
constexpr int32_t kParameterIDField = 2024;
constexpr int32_t kParameterNameField = 2025;
constexpr int32_t kMeasurementPlaceField = 2026;
constexpr int32_t kParamExtraNameField = 2027;
constexpr int32_t kDisplayNameField = 2028;

// Blanks and control characters at either end are not part of a name.
std::string Trimmed(std::string_view text) {
  return platform::Trim(text);
}

}  // namespace

// ---------------------------------------------------------------------------
// TUniquePatientInformation

bool TUniquePatientInformation::IsSame(const TUniquePatientInformation& other) const {
  return Registered == other.Registered && RegisteredNo == other.RegisteredNo &&
         PatientName == other.PatientName;
}

void TUniquePatientInformation::AssignTo(TPersistent& dest) const {
  auto* target = dynamic_cast<TUniquePatientInformation*>(&dest);
  if (!target) return TPersistent::AssignTo(dest);
  target->Registered = Registered;
  target->RegisteredNo = RegisteredNo;
  target->PatientName = PatientName;
}

std::unique_ptr<TObject> TUniquePatientInformation::CreateEmpty() const {
  return std::make_unique<TUniquePatientInformation>();
}

void TUniquePatientInformation::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case kRegisteredField:
      Registered = reader.ReadByteField() != 0;
      break;
    case kRegisteredNoField:
      RegisteredNo = reader.ReadIntegerField();
      break;
    case kPatientNameField:
      PatientName = reader.ReadStringField();
      break;
    default:
      reader.SkipField();
  }
}

bool TUniquePatientInformation::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  writer.WriteByteField(kRegisteredField, Registered ? 1 : 0);
  writer.WriteIntegerField(kRegisteredNoField, RegisteredNo);
  writer.WriteStringField(kPatientNameField, PatientName);
  return writer.EndFolding();
}

// ---------------------------------------------------------------------------
// TUniqueParameterInformation

void TUniqueParameterInformation::SetParameterID(std::string_view value) {
  parameter_id_ = Trimmed(value);
}

void TUniqueParameterInformation::SetParameterName(std::string_view value) {
  parameter_name_ = Trimmed(value);
  display_name_ = parameter_name_;
}

void TUniqueParameterInformation::SetMeasurementPlace(std::string_view value) {
  measurement_place_ = Trimmed(value);
}

void TUniqueParameterInformation::SetParamExtraName(std::string_view value) {
  param_extra_name_ = Trimmed(value);
}

void TUniqueParameterInformation::SetDisplayName(std::string_view value) {
  display_name_ = Trimmed(value);
}

bool TUniqueParameterInformation::IsSame(const TUniqueParameterInformation& other) const {
  const bool same_parameter = (!parameter_id_.empty() && parameter_id_ == other.parameter_id_) ||
                              parameter_name_ == other.parameter_name_;
  return same_parameter && measurement_place_ == other.measurement_place_ &&
         param_extra_name_ == other.param_extra_name_;
}

void TUniqueParameterInformation::AssignTo(TPersistent& dest) const {
  auto* target = dynamic_cast<TUniqueParameterInformation*>(&dest);
  if (!target) return TPersistent::AssignTo(dest);
  // Through the setters, in this order: the name's setter resets the display name,
  // which then takes the source's own.
  target->SetParameterID(parameter_id_);
  target->SetParameterName(parameter_name_);
  target->SetMeasurementPlace(measurement_place_);
  target->SetParamExtraName(param_extra_name_);
  target->SetDisplayName(display_name_);
}

std::unique_ptr<TObject> TUniqueParameterInformation::CreateEmpty() const {
  return std::make_unique<TUniqueParameterInformation>();
}

void TUniqueParameterInformation::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case kParameterIDField:
      SetParameterID(reader.ReadStringField());
      break;
    case kParameterNameField:
      SetParameterName(reader.ReadStringField());
      break;
    case kMeasurementPlaceField:
      SetMeasurementPlace(reader.ReadStringField());
      break;
    case kParamExtraNameField:
      SetParamExtraName(reader.ReadStringField());
      break;
    case kDisplayNameField:
      SetDisplayName(reader.ReadStringField());
      break;
    default:
      reader.SkipField();
  }
}

bool TUniqueParameterInformation::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  writer.WriteStringField(kParameterIDField, parameter_id_);
  writer.WriteStringField(kParameterNameField, parameter_name_);
  writer.WriteStringField(kMeasurementPlaceField, measurement_place_);
  writer.WriteStringField(kParamExtraNameField, param_extra_name_);
  writer.WriteStringField(kDisplayNameField, display_name_);
  return writer.EndFolding();
}

// ---------------------------------------------------------------------------

void RegisterIdentityPrototypes() {
  static const bool registered = [] {
    TVistaStreamParser::RegisterPrototype(std::make_unique<TUniquePatientInformation>());
    TVistaStreamParser::RegisterPrototype(std::make_unique<TUniqueParameterInformation>());
    return true;
  }();
  (void)registered;
}
