// Patient ids, their folders and the patient file.
//
// The analyzer's patient id (a patient record's field 4) is reduced to at most ten
// characters: its first ",", then its first ".", then its first "-" are removed;
// the empty id becomes "NULL"; a longer id keeps its first or its last ten
// characters, by setting. The id names the patient's folder in the data folder,
// characters 1-8, ".$" and characters 9-10 ("ABCDEFGH.$IJ"), and is shown as
// characters 1-6, "-" and characters 7-10 ("ABCDEF-GHIJ").
//
// The ids "1", "2" and "3" select registered patients: the entries of those keys
// in the section "Registered" of the data root's ini file name a patient folder,
// before their first "\" or "/" ("12345678.$90\PATIENT."); that folder's name less
// its ".$" is the id shown.
//
// Ids come from the wire and folder names from a file a person edits: neither may
// lead a file out of the data folder. An id holding "/", "\" or a control character
// is rejected; so is a registered entry whose folder is not one plain name with a
// ".$" in it, which then counts as not registered.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/resources.h"

inline constexpr platform::ResourceString SIdRejected{
    "PatientIds.SIdRejected",
    "Patient id rejected (it holds \"/\", \"\\\" or a control character):"};
inline constexpr platform::ResourceString SRegisteredIgnored{
    "PatientIds.SRegisteredIgnored",
    "Registered patient %d ignored: its entry names no folder with \".$\":"};

// The id with its first ",", then its first ".", then its first "-" removed.
std::string RemoveIdPunctuation(std::string_view id);
// The id cut to ten characters, its first ten or its last ten; empty gives "NULL".
std::string ReduceId(std::string_view id, bool use_first_ten);
// Characters 1-8, ".$", characters 9-10 (as many as the id has).
std::string FolderNameOf(std::string_view id);
// Characters 1-6, "-", characters 7-10 (as many as the id has).
std::string ShownIdOf(std::string_view id);
// Whether Text may become part of a file name: no "/", no "\", no control
// character (below 32, 127, and the five bytes Windows-1252 leaves to C1 controls).
bool IsSafeNameText(std::string_view text);

// One entry of the "Registered" section, read.
struct TRegisteredEntry {
  enum class Status : uint8_t {
    kEmpty,       // no entry: the id is an ordinary one
    kRegistered,  // Folder and ShownId hold the patient's
    kInvalid,     // an entry that names no usable folder: treated as not registered
  };
  Status status = Status::kEmpty;
  std::string folder_name;
  std::string shown_id;
};
TRegisteredEntry ReadRegisteredEntry(std::string_view entry);

// The values of the keys "1", "2" and "3" of the section "Registered" (empty when
// missing), as the window reads them from the ini file.
using TRegisteredEntries = std::array<std::string, 3>;

// What a patient record's id comes to.
struct TPatientIdentity {
  bool accepted = false;    // false: the id was rejected, nothing may be filed
  std::string folder_name;  // the patient's folder within the data folder
  std::string shown_id;
  bool registered = false;
  // Lines for the error line and the transfer log: a rejected id, an unusable
  // registered entry.
  std::vector<std::string> notices;
};
TPatientIdentity ResolvePatientId(std::string_view id_field, bool use_first_ten,
                                  const TRegisteredEntries& registered);

// The patient's folder: the data folder (ending in a separator), the folder name
// and "/".
std::string PatientFolderPath(std::string_view data_dir, std::string_view folder_name);

// The patient file ("Patient" in the patient's folder): 271 bytes from the
// template, with the last name, the first name and the shown id filled in.
constexpr size_t kPatientFileSize = 271;
// The name the collector gives the patient file; it looks the file up as "PATIENT."
// (without regard to case), since the main application may spell it otherwise.
inline constexpr const char* kPatientFileName = "Patient";
// The template the program carries: bytes 0-1 and 56-270 as the clinical main
// application expects them; bytes 2-55 are always overwritten and are NUL.
std::span<const uint8_t, kPatientFileSize> PatientFileTemplate();
// Length characters of Text (NUL-padded, or cut), then one NUL.
std::string CopyToFixedField(std::string_view text, size_t length);
// The file's bytes: template bytes 0-1, the last name (20 + 1), the first name
// (20 + 1), the trimmed shown id (11 + 1), template bytes 56-270.
std::vector<uint8_t> BuildPatientFile(std::string_view shown_id, std::string_view first_name,
                                      std::string_view last_name);
// Creates the patient file in Folder (with or without a separator at its end) with
// these bytes, whole or not at all, and never in place of what is there: the main
// application keeps its own data in the file past the template. False, writing
// nothing, when a file of that name exists; raises EFCreateError "Cannot create file
// "<name>". <reason>" when the name is taken by something else, or the file cannot
// be written.
bool WritePatientFile(const std::string& folder, const std::vector<uint8_t>& bytes);
// The last name stored in a patient file from its first bytes: bytes 3 to 22
// (from 1) cut at the first NUL; missing bytes count as NUL.
std::string PatientNameFromFile(std::span<const uint8_t> first_bytes);
// What is read of a patient file for its last name: the rest of the file belongs
// to the main application.
inline constexpr size_t kPatientNameReadBytes = 25;
static_assert(kPatientNameReadBytes >= 22, "the read holds the last-name field");
