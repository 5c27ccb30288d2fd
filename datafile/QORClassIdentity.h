// Identity records: who the data of a file belongs to (record -23) and which
// measured parameter a series holds (record -24).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "datafile/QORClassPersist.h"

inline constexpr int32_t kPatientIdentityRecord = -23;
inline constexpr int32_t kParameterIdentityRecord = -24;

class TUniquePatientInformation : public TPersistent, public IPersistIT {
 public:
  std::string_view ClassName() const override { return "TUniquePatientInformation"; }

  bool Registered = false;   // field 2021, a byte 0 or 1
  int32_t RegisteredNo = 0;  // field 2022
  std::string PatientName;   // field 2023

  // Registered, number and name all equal (names compared exactly).
  virtual bool IsSame(const TUniquePatientInformation& other) const;

  void AssignTo(TPersistent& dest) const override;

  void AddSubObject(std::unique_ptr<TObject>) override {}
  void ReadDone() override {}
  std::unique_ptr<TObject> CreateEmpty() const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kPatientIdentityRecord; }
  bool WriteTo(TVistaWriter& writer) override;
};

// Every text is stored without leading and trailing blanks and control characters;
// setting the parameter name sets the display name too.
class TUniqueParameterInformation : public TPersistent, public IPersistIT {
 public:
  std::string_view ClassName() const override { return "TUniqueParameterInformation"; }

  const std::string& DisplayName() const { return display_name_; }            // field 2028
  const std::string& MeasurementPlace() const { return measurement_place_; }  // field 2026
  const std::string& ParameterID() const { return parameter_id_; }            // field 2024
  const std::string& ParameterName() const { return parameter_name_; }        // field 2025
  const std::string& ParamExtraName() const { return param_extra_name_; }     // field 2027

  void SetParameterID(std::string_view value);
  void SetParameterName(std::string_view value);
  void SetMeasurementPlace(std::string_view value);
  void SetParamExtraName(std::string_view value);
  void SetDisplayName(std::string_view value);

  // The same parameter: equal IDs (when this one has an ID) or equal names, and
  // equal places and extra names. All comparisons exact.
  virtual bool IsSame(const TUniqueParameterInformation& other) const;

  void AssignTo(TPersistent& dest) const override;

  void AddSubObject(std::unique_ptr<TObject>) override {}
  void ReadDone() override {}
  std::unique_ptr<TObject> CreateEmpty() const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kParameterIdentityRecord; }
  bool WriteTo(TVistaWriter& writer) override;

 private:
  std::string display_name_;
  std::string measurement_place_;
  std::string parameter_id_;
  std::string parameter_name_;
  std::string param_extra_name_;
};

// Registers the prototypes of the two identity records with the prototype
// registry, once; the first registrations of the program.
void RegisterIdentityPrototypes();
