// The messages Gasmimic sends, as the analyzer would: the built result message
// (header, patient, order, seven results, an optional specimen-code record and the
// terminator), the canned full message, and the bytes that carry a record line over
// the serial link (one checksummed frame per record) or the TCP feed (SOH, lines
// without their frame digit, EOT).
//
// Everything here is a pure function of its arguments; the window reads its
// controls, calls these and puts the result into its lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"

// The control bytes of the serial link and of the TCP feed.
inline constexpr char kSOH = 0x01;
inline constexpr char kSTX = 0x02;
inline constexpr char kETX = 0x03;
inline constexpr char kEOT = 0x04;
inline constexpr char kENQ = 0x05;
inline constexpr char kACK = 0x06;
inline constexpr char kLF = 0x0A;
inline constexpr char kCR = 0x0D;
inline constexpr char kNAK = 0x15;
inline constexpr char kETB = 0x17;

// The header line that the window's resource puts first into the built-message
// list; BuildMessage keeps whatever the list's first line is.
inline constexpr std::string_view kBuiltHeaderLine =
    "1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000";

// The patient the messages name. The id "1" is the first registered patient of
// the collector's data root (section "Registered" of its ZQTDATA.INI), so that both
// the typed and the canned message file into the patient that a data root has
// registered there, without knowing that patient's real id; the name is what the
// collector gives the patient file when it has to create the patient.
inline constexpr std::string_view kInitialPatientId = "1";  // EditPatientID's first text
inline constexpr std::string_view kCannedPatientId = "1";
inline constexpr std::string_view kFixedLastName = "Demo";
inline constexpr std::string_view kFixedFirstName = "Patient";

// The items of rgSpecimenType and rgSpecimenSource, by item index. Any other
// index (no item chosen) counts as None.
enum class TSpecimenType : int { kNone = 0, kBlood = 1, kGas = 2, kUrine = 3 };
enum class TSpecimenSource : int {
  kNone = 0,
  kArterial = 1,
  kVenous = 2,
  kCapillary = 3,
  kMixedVenous = 4,
  kNotSpecified = 5,
};

// What BuildMessage takes from the window. The values are the edit fields' texts,
// sent as they stand.
struct TMessageForm {
  std::string patient_id;
  std::string fio2, ca, cl, k, na, ph, po2;
  TSpecimenType specimen_type = TSpecimenType::kBlood;
  TSpecimenSource specimen_source = TSpecimenSource::kArterial;
  bool ks_special = false;
};

// "0" + the number in decimal, its last two characters: 7 gives "07", 123 "23".
std::string ZeroPad2(int number);

// The O record's specimen field: "", "Blood^" + the source ("" for None), "Gas"
// or "Urine".
std::string SpecimenText(TSpecimenType type, TSpecimenSource source);

// The built message: Header, then P, O, the seven R records, the "KS Special" code
// record when asked for, and L. The O record carries SampleNo and the minute of
// Now, the first R record the second of Now (local time).
std::vector<std::string> BuildMessage(std::string_view header, const TMessageForm& form,
                                      int sample_no, platform::DateTime now);

// The canned full message of 44 record lines (H, P, O, 40 R, L).
std::vector<std::string> CannedMessage();

// The checksum of a frame's text (frame digit through end mark): the byte sum
// modulo 256 as two upper-case hex digits. AddOne corrupts it on purpose, for
// "Single CS Error": one more, so that a sum of 255 gives "00".
std::string Checksum(std::string_view text, bool add_one = false);

// The serial frame of one record line: STX, the line, CR, ETX for the message's
// last line (ETB otherwise), the checksum (corrupted when asked), CR, LF.
std::string FrameBytes(std::string_view line, bool last, bool corrupt_checksum = false);

// The TCP feed's sends for one message, one send per element: SOH; each line
// without its frame digit, followed by CR; EOT.
std::vector<std::string> FeedSends(const std::vector<std::string>& lines);
