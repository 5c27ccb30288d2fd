// Gasbridge's settings: where its files are, the values under its settings key,
// the autostart entry, and the data source chosen at start.
//
// Everything here reads and writes the settings store (platform/registry.h) and
// knows no window, so that the main window's start-up rules can be tested alone.
//
// Reading never fails: a missing key, a missing value, a value of the wrong type (a
// number stored as text) or an unreadable store all give the value's default, so
// that a damaged settings file cannot stop the collector from starting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "collector/RecordParsing.h"
#include "platform/registry.h"
#include "platform/resources.h"

// HKEY_CURRENT_USER keys.
inline constexpr char kSettingsKey[] =
    "\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External Collect\\1.0\\ABL";
inline constexpr char kAutostartKey[] = "Software\\QOR Fluvantronics AB\\Autostart\\ABL625";
inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kLanguageKey[] = "Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\General";
inline constexpr char kFilePathsKey1[] =
    "Software\\QOR Fluvantronics AB\\Wardvorta\\1.0\\File Paths";
inline constexpr char kFilePathsKey2[] =
    "Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths";

inline constexpr int kDefaultClientSocketPort = 14001;
inline constexpr int kDefaultABLSocketPort = 14000;
// COM1 to COM255 exist on the system this collector came from.
inline constexpr int kMaxComNumber = 255;
// The program's --quit-after: its milliseconds must fit the int that Qt's
// single-shot timer takes (2,147,483,000 ms).
inline constexpr int kMinQuitAfterSeconds = 1;
inline constexpr int kMaxQuitAfterSeconds = 2147483;

// The data root: the folder of the main application's "ZQTData" value under the
// first of its two "File Paths" keys that exists ("C:\ZQT\" when that key lacks the
// value), with a separator at its end; "" (the working folder) when neither exists.
std::string GetDataRoot(platform::TRegistry& registry);

// The files under the data root.
struct TCollectorPaths {
  std::string root;
  std::string data_dir;  // Root + "DATA/"
  std::string ini_file;  // Root + "ZQTDATA.INI"
  std::string log_file;  // DataDir + "ABL 625 Logfile.txt"
  static TCollectorPaths FromRoot(std::string root);
};

// The settings key's values. The readers return Default for a missing key or
// value, a value of another type, and any error of the store; the writer creates
// the key when it is missing and raises ERegistryException when it cannot write.
bool ReadRegBool(platform::TRegistry& registry, const std::string& name);
int32_t ReadRegInteger(platform::TRegistry& registry, const std::string& name,
                       int32_t default_value);
void WriteRegBool(platform::TRegistry& registry, const std::string& name, bool value);

// CheckForDSR: false without the settings key; with it, the stored value, or true
// when the value is missing or not a number.
bool ReadCheckForDSR(platform::TRegistry& registry);

// The five specimen-source translations: all empty without the settings key; with
// it, each stored text, or its default ("Venous", ...) when missing, empty or not a
// text.
TSpecimenTranslations ReadSpecimenTranslations(platform::TRegistry& registry);

// The one data source the collector takes messages from. Port is the COM port's
// number for kSerial (kept apart from the window's list, whose entries 17 and 18 are
// the network sources); Host the text after the keyword for the network sources.
struct TDataSource {
  enum class Kind : uint8_t { kDisabled, kSerial, kRelay, kAnalyzerServer };
  Kind kind = Kind::kDisabled;
  int port = 0;
  std::string host;
  friend bool operator==(const TDataSource&, const TDataSource&) = default;
};

inline constexpr platform::ResourceString SFaultyParameter{"Unit1.SFaultyParameter",
                                                           "Faulty parameter - "};

// What the command line (its first argument) and the autostart entry choose at
// start. Nothing chosen: Source empty; Error holds "Faulty parameter - " and the
// argument when "COM" is followed by no port number (or one above kMaxComNumber).
struct TStartSource {
  std::optional<TDataSource> source;
  std::string error;
};
// Argument: the first command-line argument as given. AutostartValue: the default
// value of the autostart key, when it exists. The argument, upper-cased, is searched
// for "WARDVORTA", then "ABL", then "COM" followed by digits; without any of them
// the autostart value is used, and only when the text after its last "|" is "COM"
// and a port number.
TStartSource DataSourceAtStart(std::string_view argument,
                               const std::optional<std::string>& autostart_value);

// The seconds of the program's "--quit-after=SECONDS": a whole decimal number from
// kMinQuitAfterSeconds to kMaxQuitAfterSeconds and nothing else; nothing otherwise.
std::optional<int> QuitAfterSeconds(std::string_view text);

// The autostart key's default value: its "COM" form ("" when it cannot be read).
std::optional<std::string> ReadAutostartValue(platform::TRegistry& registry);

// The autostart value for a source: the program's path, "|", and "COM" + port,
// "WARDVORTA" + host or "ABL" + host; "" for no source.
std::string AutostartValue(const std::string& program_path, const TDataSource& source);

// What checking or unchecking AutoStart writes. Checked: the autostart key's
// default value (when a source is selected) and "DoStart" 1. Unchecked: the value
// "Gasbridge" of the Run key deleted and "DoStart" 0. Raises ERegistryException when
// the store cannot be written.
void WriteAutostart(platform::TRegistry& registry, bool checked, const std::string& program_path,
                    const TDataSource& source);
