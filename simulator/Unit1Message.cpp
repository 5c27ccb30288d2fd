#include "simulator/Unit1Message.h"

#include <array>
#include <cstdint>

namespace {

// A blood sample's source: its name in the O record, and its code in the
// "KS Special" record.
struct SourceTexts {
  std::string_view name;
  std::string_view ks_code;
};

SourceTexts TextsOf(TSpecimenSource source) {
  static constexpr std::array<SourceTexts, 6> kTexts{{
      {"", ""},
      {"Arterial", "34343434"},
      {"Venous", "45454545"},
      {"Capillary", "98989898"},
      {"Mixed-Venous", "67676767"},
      {"Not specified", "78787878"},
  }};
  const auto index = static_cast<size_t>(static_cast<int>(source));
  return index < kTexts.size() ? kTexts[index] : kTexts[0];
}

// One result of the canned message.
struct CannedResult {
  std::string_view code;
  char kind;
  std::string_view value;
  std::string_view unit;
};

// The canned results in sending order; their sequence numbers count from 1. Qt and
// VO2 are not measured ("....." with flag X), every other result is final (F).
constexpr std::array<CannedResult, 40> kCannedResults{{
    {"FIO2", 'D', "21.0", "%"},
    {"RQ", 'D', "0.86", ""},
    {"T", 'D', "37.0", "Cel"},
    {"Qt", 'I', ".....", "L/min"},
    {"VO2", 'I', ".....", "mL/min"},
    {"ABE", 'C', "8.0", "mmol/L"},
    {"Anion gap(K+)", 'C', "10.7", "mmol/L"},
    {"Anion gap", 'C', "6.9", "mmol/L"},
    {"B", 'M', "770", "mmHg"},
    {"Ca++", 'M', "1.20", "mmol/L"},
    {"Ca(7.4)", 'C', "1.21", "mmol/L"},
    {"Cl-", 'M', "97", "mmol/L"},
    {"COHb", 'M', "1.5", "%"},
    {"Glu", 'M', "6.2", "mmol/L"},
    {"HCO3-", 'C', "33.4", "mmol/L"},
    {"Hct", 'C', "35.9", "%"},
    {"K+", 'M', "3.9", "mmol/L"},
    {"Lac", 'M', "0.7", "mmol/L"},
    {"MetHb", 'M', "0.3", "%"},
    {"Na+", 'M', "137", "mmol/L"},
    {"O2CAP", 'C', "15.9", "Vol %"},
    {"O2Hb", 'M', "94.8", "%"},
    {"pCO2", 'M', "6.93", "kPa"},
    {"pCO2(T)", 'M', "6.93", "kPa"},
    {"pH", 'M', "7.424", ""},
    {"pH(st)", 'C', "7.508", ""},
    {"pH(T)", 'M', "7.424", ""},
    {"pO2", 'M', "12.02", "kPa"},
    {"pO2(T)", 'M', "12.02", "kPa"},
    {"p50(act)", 'C', "3.647", "kPa"},
    {"p50(act),T", 'C', "3.647", "kPa"},
    {"p50(st)", 'C', "3.762", "kPa"},
    {"RHb", 'M', "3.3", "%"},
    {"SBC", 'C', "31.8", "mmol/L"},
    {"SBE", 'C', "8.7", "mmol/L"},
    {"sO2", 'M', "96.6", "%"},
    {"tCO2(B)", 'C', "67.7", "Vol %"},
    {"tCO2(P)", 'C', "78.4", "Vol %"},
    {"tHb", 'M', "116", "g/L"},
    {"tO2", 'C', "15.6", "Vol %"},
}};

// The frame digit of the record at Index (from 0) of a message: "1" to "7", then
// "0", "1", ... cyclically.
char FrameDigit(size_t index) {
  return static_cast<char>('0' + (index + 1) % 8);
}

char NibbleToHex(uint8_t value) {
  value &= 0x0F;
  return static_cast<char>(value < 10 ? '0' + value : 'A' + (value - 10));
}

}  // namespace

std::string ZeroPad2(int number) {
  std::string text = "0" + std::to_string(number);
  return text.substr(text.size() - 2);
}

std::string SpecimenText(TSpecimenType type, TSpecimenSource source) {
  switch (type) {
    case TSpecimenType::kBlood:
      return "Blood^" + std::string(TextsOf(source).name);
    case TSpecimenType::kGas:
      return "Gas";
    case TSpecimenType::kUrine:
      return "Urine";
    case TSpecimenType::kNone:
      break;
  }
  return {};
}

std::vector<std::string> BuildMessage(std::string_view header, const TMessageForm& form,
                                      int sample_no, platform::DateTime now) {
  const platform::DateParts date = platform::DecodeDate(now);
  const platform::TimeParts time = platform::DecodeTime(now);
  const std::string t12 = std::to_string(date.year) + ZeroPad2(date.month) + ZeroPad2(date.day) +
                          ZeroPad2(time.hour) + ZeroPad2(time.minute);
  const std::string t14 = t12 + ZeroPad2(time.second);
  const std::string specimen = SpecimenText(form.specimen_type, form.specimen_source);

  std::vector<std::string> lines;
  lines.emplace_back(header);
  lines.push_back("2P|1||" + form.patient_id + "||" + std::string(kFixedLastName) + "^" +
                  std::string(kFixedFirstName) + "|||M||||||21^years||185^cm|81^kg||||||||755");
  lines.push_back("3O|1||Sample #^" + std::to_string(sample_no) + "||||" + t12 + "||||||||" +
                  specimen);
  lines.push_back("4R|1|^^^FIO2^D|" + form.fio2 + "|%||||F||3000:321|" + t14);
  lines.push_back("5R|2|^^^Ca++^M|" + form.ca + "|mmol/L||||F");
  lines.push_back("6R|3|^^^Cl-^M|" + form.cl + "|mmol/L||||F");
  lines.push_back("7R|4|^^^K+^M|" + form.k + "|mmol/L||||F");
  lines.push_back("0R|5|^^^Na+^M|" + form.na + "|mmol/L||||F");
  lines.push_back("1R|6|^^^pH^M|" + form.ph + "|||||F");
  lines.push_back("2R|7|^^^pO2^M|" + form.po2 + "|mmHg||||F");
  if (form.ks_special) {
    std::string code(form.specimen_type == TSpecimenType::kBlood
                         ? TextsOf(form.specimen_source).ks_code
                         : std::string_view());
    if (code.empty()) code = specimen;
    lines.push_back("3R|8|^^^Typ av prov^||" + code + "||||F");
    lines.push_back("4L|1|N");
  } else {
    lines.push_back("3L|1|N");
  }
  return lines;
}

std::vector<std::string> CannedMessage() {
  std::vector<std::string> lines;
  lines.reserve(kCannedResults.size() + 4);
  lines.push_back("1H|\\^&|||ABL SYSTEM 625^||||||||1|20010122181814");
  lines.push_back("2P|1||" + std::string(kCannedPatientId) +
                  "||^|||U||||||0^years||0^cm|0^kg||||||||");
  lines.push_back("3O|1||Sample #^9288||||||||||||Blood^Not specified");
  for (size_t i = 0; i < kCannedResults.size(); ++i) {
    const CannedResult& result = kCannedResults[i];
    const bool measured = result.value != ".....";
    std::string line;
    line += FrameDigit(lines.size());
    line += "R|" + std::to_string(i + 1) + "|^^^" + std::string(result.code) + "^" + result.kind +
            "|" + std::string(result.value) + "|" + std::string(result.unit) + "||||" +
            (measured ? "F" : "X");
    if (i == 0) line += "|||20010122181700";
    lines.push_back(std::move(line));
  }
  lines.push_back(std::string(1, FrameDigit(lines.size())) + "L|1|N");
  return lines;
}

std::string Checksum(std::string_view text, bool add_one) {
  uint8_t sum = 0;
  for (char c : text)
    sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  if (add_one) sum = static_cast<uint8_t>(sum + 1);
  return {NibbleToHex(sum >> 4), NibbleToHex(sum)};
}

std::string FrameBytes(std::string_view line, bool last, bool corrupt_checksum) {
  std::string checked(line);
  checked += kCR;
  checked += last ? kETX : kETB;
  std::string frame(1, kSTX);
  frame += checked;
  frame += Checksum(checked, corrupt_checksum);
  frame += kCR;
  frame += kLF;
  return frame;
}

std::vector<std::string> FeedSends(const std::vector<std::string>& lines) {
  std::vector<std::string> sends;
  sends.reserve(lines.size() + 2);
  sends.emplace_back(1, kSOH);
  for (const std::string& line : lines)
    sends.push_back((line.empty() ? std::string() : line.substr(1)) + kCR);
  sends.emplace_back(1, kEOT);
  return sends;
}
