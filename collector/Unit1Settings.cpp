#include "collector/Unit1Settings.h"

#include <charconv>
#include <exception>

#include "platform/text_1252.h"

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal number at the start of Text: nothing when Text starts with no digit
// or the number is above kMaxComNumber.
std::optional<int> PortNumberAt(std::string_view text) {
  if (text.empty() || !IsDigit(text[0])) return std::nullopt;
  int number = 0;
  for (size_t i = 0; i < text.size() && IsDigit(text[i]); ++i) {
    number = number * 10 + (text[i] - '0');
    if (number > kMaxComNumber) return std::nullopt;
  }
  return number;
}

TDataSource SerialSource(int port) {
  if (port == 0) return TDataSource{};
  return TDataSource{TDataSource::Kind::kSerial, port, {}};
}

// Runs a reader of the settings key; Default for a missing key and for every error.
template <typename T, typename Read>
T ReadSetting(platform::TRegistry& registry, T default_value, Read read) {
  try {
    if (!registry.OpenKeyReadOnly(kSettingsKey)) return default_value;
    T value = read();
    registry.CloseKey();
    return value;
  } catch (const std::exception&) {
    registry.CloseKey();
    return default_value;
  }
}

}  // namespace

std::string GetDataRoot(platform::TRegistry& registry) {
  std::optional<std::string> value;
  try {
    bool opened = registry.OpenKeyReadOnly(kFilePathsKey1);
    if (!opened) opened = registry.OpenKeyReadOnly(kFilePathsKey2);
    if (!opened) return "";
    value = registry.ValueExists("ZQTData") ? registry.ReadString("ZQTData") : "C:\\ZQT\\";
    registry.CloseKey();
  } catch (const std::exception&) {
    // A value that is not a text names no folder: the default's.
    registry.CloseKey();
    value = "C:\\ZQT\\";
  }
  const std::string& path = *value;
  size_t last = path.size();
  while (last > 0 && !IsSeparator(path[last - 1]))
    --last;
  if (last == 0) return "";  // no folder part
  std::string root = path.substr(0, last - 1);
  if (root.empty()) return "";
  // A drive's root keeps its separator: "C:\file" lies in "C:\".
  if (root.size() == 2 && root[1] == ':') root += path[last - 1];
  if (!IsSeparator(root.back())) root += path[last - 1];
  return root;
}

TCollectorPaths TCollectorPaths::FromRoot(std::string root) {
  TCollectorPaths paths;
  paths.root = std::move(root);
  paths.data_dir = paths.root + "DATA/";
  paths.ini_file = paths.root + "ZQTDATA.INI";
  paths.log_file = paths.data_dir + "ABL 625 Logfile.txt";
  return paths;
}

bool ReadRegBool(platform::TRegistry& registry, const std::string& name) {
  return ReadSetting<bool>(registry, false, [&] {
    return registry.ValueExists(name) ? registry.ReadBool(name) : false;
  });
}

int32_t ReadRegInteger(platform::TRegistry& registry, const std::string& name,
                       int32_t default_value) {
  return ReadSetting<int32_t>(registry, default_value, [&] {
    return registry.ValueExists(name) ? registry.ReadInteger(name) : default_value;
  });
}

void WriteRegBool(platform::TRegistry& registry, const std::string& name, bool value) {
  registry.OpenKey(kSettingsKey, true);
  registry.WriteBool(name, value);
  registry.CloseKey();
}

bool ReadCheckForDSR(platform::TRegistry& registry) {
  return ReadSetting<bool>(registry, false, [&] {
    if (registry.ValueExists("CheckForDSR") &&
        registry.GetDataType("CheckForDSR") == platform::RegDataType::kInteger) {
      return registry.ReadBool("CheckForDSR");
    }
    return true;
  });
}

TSpecimenTranslations ReadSpecimenTranslations(platform::TRegistry& registry) {
  return ReadSetting<TSpecimenTranslations>(registry, TSpecimenTranslations{}, [&] {
    const auto text = [&](const char* name, const char* default_text) {
      if (registry.ValueExists(name) &&
          registry.GetDataType(name) == platform::RegDataType::kString) {
        std::string value = registry.ReadString(name);
        if (!value.empty()) return value;
      }
      return std::string(default_text);
    };
    TSpecimenTranslations translations;
    translations.venous = text("VenousTranslation", "Venous");
    translations.mixed_venous = text("MixedVenousTranslation", "Mixed-venous");
    translations.not_specified = text("NotSpecifiedTranslation", "Not specified");
    translations.arterial = text("ArterialTranslation", "Arterial");
    translations.capillary = text("CapillaryTranslation", "Capillary");
    return translations;
  });
}

TStartSource DataSourceAtStart(std::string_view argument,
                               const std::optional<std::string>& autostart_value) {
  const std::string arg = platform::UpperCase1252(argument);
  TStartSource start;
  if (const size_t at = arg.find("WARDVORTA"); at != std::string::npos) {
    start.source = TDataSource{TDataSource::Kind::kRelay, 0, arg.substr(at + 9)};
    return start;
  }
  if (const size_t at = arg.find("ABL"); at != std::string::npos) {
    start.source = TDataSource{TDataSource::Kind::kAnalyzerServer, 0, arg.substr(at + 3)};
    return start;
  }
  if (const size_t at = arg.find("COM"); at != std::string::npos) {
    if (const std::optional<int> port = PortNumberAt(std::string_view(arg).substr(at + 3))) {
      start.source = SerialSource(*port);
    } else {
      start.error = platform::LoadResString(SFaultyParameter) + std::string(argument);
    }
    return start;
  }
  // The stored value also holds the program's path (and perhaps a host name), in
  // which "COM" means nothing: only the keyword after the last "|" counts.
  if (autostart_value) {
    const size_t bar = autostart_value->rfind('|');
    const std::string_view keyword =
        std::string_view(*autostart_value).substr(bar == std::string::npos ? 0 : bar + 1);
    if (keyword.starts_with("COM")) {
      if (const std::optional<int> port = PortNumberAt(keyword.substr(3))) {
        start.source = SerialSource(*port);
      }
    }
  }
  return start;
}

std::optional<int> QuitAfterSeconds(std::string_view text) {
  int seconds = 0;
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, seconds);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  if (seconds < kMinQuitAfterSeconds || seconds > kMaxQuitAfterSeconds) return std::nullopt;
  return seconds;
}

std::optional<std::string> ReadAutostartValue(platform::TRegistry& registry) {
  try {
    if (!registry.OpenKeyReadOnly(kAutostartKey)) return std::nullopt;
    std::optional<std::string> value;
    if (registry.ValueExists("") && registry.GetDataType("") == platform::RegDataType::kString) {
      value = registry.ReadString("");
    }
    registry.CloseKey();
    return value;
  } catch (const std::exception&) {
    registry.CloseKey();
    return std::nullopt;
  }
}

std::string AutostartValue(const std::string& program_path, const TDataSource& source) {
  switch (source.kind) {
    case TDataSource::Kind::kDisabled:
      return "";
    case TDataSource::Kind::kSerial:
      return program_path + "|COM" + std::to_string(source.port);
    case TDataSource::Kind::kRelay:
      return program_path + "|WARDVORTA" + source.host;
    case TDataSource::Kind::kAnalyzerServer:
      return program_path + "|ABL" + source.host;
  }
  return "";
}

void WriteAutostart(platform::TRegistry& registry, bool checked, const std::string& program_path,
                    const TDataSource& source) {
  if (!checked) {
    registry.OpenKey(kRunKey, true);
    registry.DeleteValue("Gasbridge");
    registry.CloseKey();
    registry.OpenKey(kAutostartKey, true);
    registry.WriteInteger("DoStart", 0);
    registry.CloseKey();
    return;
  }
  registry.OpenKey(kAutostartKey, true);
  if (source.kind != TDataSource::Kind::kDisabled) {
    registry.WriteString("", AutostartValue(program_path, source));
  }
  registry.WriteInteger("DoStart", 1);
  registry.CloseKey();
}
