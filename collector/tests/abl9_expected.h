// What the ABL9 message (tests/data/04_abl9_soh_eot_message.astm) files, worked out
// by hand from its records: patient 100000001 (Anon^Patient), specimen "Arterial^"
// (a kind without a source, so the source becomes " Arterial"), no order time, and
// the first result's time 2026-06-27 08:29:14 for every result. Of the 40 results
// the eight "....." (not measured) are not filed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collector/tests/read_back.h"
#include "platform/date_time.h"

namespace collector_test {

inline constexpr char kAbl9File[] = "04_abl9_soh_eot_message.astm";
inline constexpr char kAbl9Folder[] = "10000000.$1";
inline constexpr char kAbl9ShownId[] = "100000-001";
inline constexpr char kAbl9LastName[] = "Anon";

struct TAbl9Result {
  const char* parameter;
  const char* unit;
  double value;
};

inline const std::vector<TAbl9Result>& Abl9Results() {
  static const std::vector<TAbl9Result> results = {
      {"Arterial T", "Cel", 37.0},
      {"Arterial FIO2", "%", 28},
      {"Arterial Age", "years", 87},
      {"Arterial pH", "", 7.53},
      {"Arterial pCO2", "mmHg", 30.1},
      {"Arterial Hct", "%", 15},
      {"Arterial pO2", "mmHg", 149},
      {"Arterial K+", "mmol/L", 3.59},
      {"Arterial Na+", "mmol/L", 141},
      {"Arterial Ca++", "mmol/L", 1.09},
      {"Arterial Cl-", "mmol/L", 115},
      {"Arterial pH(T)", "", 7.53},
      {"Arterial pCO2(T)", "mmHg", 30.1},
      {"Arterial HCO3-", "mmol/L", 24.9},
      {"Arterial ABE", "mmol/L", 1.6},
      {"Arterial SBE", "mmol/L", 2.2},
      {"Arterial SBC", "mmol/L", 25.9},
      {"Arterial tCO2(P)", "mmol/L", 25.9},
      {"Arterial tCO2(B)", "mmol/L", 24.5},
      {"Arterial tHb", "g/dL", 4.8},
      {"Arterial sO2", "%", 99.3},
      {"Arterial pO2(T)", "mmHg", 149},
      {"Arterial tO2", "mmol/L", 3.1},
      {"Arterial Ca(7.4)", "mmol/L", 1.17},
      {"Arterial Anion gap (K+)", "mmol/L", 4.9},
      {"Arterial Anion gap", "mmol/L", 1.3},
      {"Arterial cH+", "nmol/L", 29.7},
      {"Arterial cH+(T)", "nmol/L", 29.7},
      {"Arterial pO2(a)/FIO2", "mmHg", 532},
      {"Arterial pO2(a,T)/FIO2", "mmHg", 532},
      {"Arterial cBase(B,ox)", "mmol/L", 1.6},
      {"Arterial cBase(Ecf,ox)", "mmol/L", 2.2},
  };
  return results;
}

inline platform::DateTime Abl9Time() {
  return platform::EncodeDate(2026, 6, 27) + platform::EncodeTime(8, 29, 14, 0);
}

// Checks a monitor-data file read back against the table: the monitor record,
// one series per result in message order, each with its one point.
inline void ExpectAbl9Filed(const TReadFile& file) {
  EXPECT_EQ(file.monitor_name, "Radiometer ABLxxx");
  EXPECT_EQ(file.patient_id, kAbl9ShownId);
  EXPECT_EQ(file.patient_name, kAbl9LastName);
  const std::vector<TAbl9Result>& results = Abl9Results();
  ASSERT_EQ(file.series.size(), results.size());
  for (size_t i = 0; i < results.size(); ++i) {
    SCOPED_TRACE(results[i].parameter);
    EXPECT_EQ(file.series[i].name, results[i].parameter);
    EXPECT_EQ(file.series[i].place, "");
    EXPECT_EQ(file.series[i].unit, results[i].unit);
    ASSERT_EQ(file.series[i].points.size(), 1u);
    EXPECT_NEAR(file.series[i].points[0].first, Abl9Time(), 1e-9);
    EXPECT_DOUBLE_EQ(file.series[i].points[0].second, results[i].value);
  }
}

}  // namespace collector_test
