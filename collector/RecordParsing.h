// The pure pieces of reading a message's record lines: fields and components,
// values, times, the sender and the specimen. A record line is one record as
// text: its frame digit first, its record type ("H", "P", "O", "R", "L") second,
// then the record's fields, separated by the field delimiter that the last header
// (H) record declared, components by its component delimiter. Field 1 is the piece
// before the first field delimiter (frame digit and type), field 2 the next, and so
// on, as ASTM E1394 numbers them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/date_time.h"
#include "platform/resources.h"

// The N-th piece (from 1) of Line between Delimiters: the last piece runs to the
// end of the line, pieces beyond it (and N below 1) are empty. A NUL delimiter (no
// header seen yet) makes the whole line piece 1.
std::string GetPiece(int n, std::string_view line, char delimiter);

// A result value in the system's number format. The other separator ("," where the
// decimal separator is ".", else ".") is first replaced, once, by the decimal
// separator, so "7,62" and "7.62" read alike. Blanks around the number, a sign and
// an exponent are allowed. The empty text is 0. Anything else that is not a finite
// number ("....." for not measured, a flag before a doubtful value as "?7.2",
// "1.2.3") gives nothing: such a value is not filed.
std::optional<double> StrToValue(std::string_view text, char decimal_separator);

// Text without the characters up to blank (control characters included) at its
// ends.
std::string TrimBlanks(std::string_view text);

// The delimiters a header record declares: its characters 3 to 6 (NUL for each
// one the line is too short for).
struct THeaderDelimiters {
  char field = '\0';
  char repeat = '\0';
  char component = '\0';
  char escape = '\0';
};
THeaderDelimiters ReadHeaderDelimiters(std::string_view header_line);

// The sending instrument, from a header's field 5: component 1, and " - " and
// component 2 when that is not empty.
std::string SenderIdentification(std::string_view header_line, char field_delimiter,
                                 char component_delimiter);

// Times of the records: "yyyymmddhhnn" (an order's field 8, seconds 0) and
// "yyyymmddhhnnss" (a result's field 12). Each part is the text at its place, as
// much of it as the field has; nothing when a part is empty or not all digits, or
// the date or time is not valid.
std::optional<platform::DateTime> ParseOrderTime(std::string_view field);
std::optional<platform::DateTime> ParseResultTime(std::string_view field);

// The sample time of a message's results. A header, or an order without a valid
// time, lets the next result record set it from its own field 12 (the current time
// when that is not valid); that time then serves every later result, until the next
// header or timeless order. A valid order time does not stop this.
class TSampleTimeRule {
 public:
  void OnHeader() { time_from_result_ = true; }
  // Field 8 of an order record; Now is the current local time.
  void OnOrder(std::string_view field8, platform::DateTime now);
  // Field 12 of a result record; returns the sample time for its value.
  platform::DateTime OnResult(std::string_view field12, platform::DateTime now);
  platform::DateTime SampleTime() const { return sample_time_; }
  bool TimeFromResult() const { return time_from_result_; }

 private:
  platform::DateTime sample_time_ = 0;
  bool time_from_result_ = false;
};

// The display names of the blood specimen sources, from the settings. An empty
// name keeps the source as the analyzer sent it.
struct TSpecimenTranslations {
  std::string venous;
  std::string mixed_venous;
  std::string not_specified;
  std::string arterial;
  std::string capillary;
};

inline constexpr platform::ResourceString SNotSpecifiedKind{"RecordParsing.SNotSpecified",
                                                            "NOT SPECIFIED"};

struct TSpecimen {
  std::string kind;
  std::string source;  // as filed: translated, or extended by the kind
  friend bool operator==(const TSpecimen&, const TSpecimen&) = default;
};

// The specimen of an order's field 16 (kind ^ source). For blood ("BLOOD" without
// case) a known source ("Venous", "Mixed-venous", "Not specified", "Arterial",
// "Capillary", without case) takes its translation; other kinds are appended to the
// source after a blank ("Gas" gives " Gas"), unless the kind is "NOT SPECIFIED".
TSpecimen ReadSpecimen(std::string_view field16, char component_delimiter,
                       const TSpecimenTranslations& translations);

// The parameter of a result's field 3 (its component 4), with the specimen source
// and a blank in front unless results are grouped by source; trimmed.
std::string ResultParameter(std::string_view field3, char component_delimiter,
                            std::string_view specimen_source, bool grouping);
