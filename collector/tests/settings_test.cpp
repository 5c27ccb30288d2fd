// Gasbridge's settings: data root, settings key, autostart entry and the data
// source at start, over a settings store written by hand.
#include "collector/Unit1Settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include "platform/tests/temp_folder.h"

namespace {

using Kind = TDataSource::Kind;

class SettingsTest : public ::testing::Test {
 protected:
  void Store(const std::string& keys) {
    std::ofstream(store_, std::ios::binary) << "Windows Registry Editor Version 5.00\n\n" << keys;
  }
  platform_test::TempFolder folder_{"gasbridge_settings"};
  std::string store_ = folder_.path() + "/registry.reg";
  platform::TRegistry registry_{store_};
};

const char kAblKey[] =
    "[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External Collect\\1.0\\ABL]\n";

TEST_F(SettingsTest, WithoutAnyKeysEverythingHasItsDefault) {
  EXPECT_EQ(GetDataRoot(registry_), "");
  EXPECT_EQ(ReadRegInteger(registry_, "ClientSocketPort", kDefaultClientSocketPort), 14001);
  EXPECT_EQ(ReadRegInteger(registry_, "ABLSocketPort", kDefaultABLSocketPort), 14000);
  for (const char* name : {"AutoCreate", "ParameterGrouping", "UseFirstTen"})
    EXPECT_FALSE(ReadRegBool(registry_, name)) << name;
  EXPECT_FALSE(ReadCheckForDSR(registry_));
  const TSpecimenTranslations translations = ReadSpecimenTranslations(registry_);
  EXPECT_EQ(translations.venous, "");
  EXPECT_EQ(translations.mixed_venous, "");
  EXPECT_EQ(translations.not_specified, "");
  EXPECT_EQ(translations.arterial, "");
  EXPECT_EQ(translations.capillary, "");
  EXPECT_EQ(ReadAutostartValue(registry_), std::nullopt);
}

TEST_F(SettingsTest, WithEveryValueStored) {
  Store(std::string(kAblKey) +
        "\"ClientSocketPort\"=dword:00003a9b\n"
        "\"ABLSocketPort\"=dword:00003a9a\n"
        "\"AutoCreate\"=dword:00000001\n"
        "\"ParameterGrouping\"=dword:00000002\n"
        "\"UseFirstTen\"=dword:00000000\n"
        "\"CheckForDSR\"=dword:00000000\n"
        "\"VenousTranslation\"=\"Vene\"\n"
        "\"MixedVenousTranslation\"=\"Blandvenös\"\n"
        "\"NotSpecifiedTranslation\"=\"\"\n"
        "\"ArterialTranslation\"=\"Artär\"\n"
        "\"CapillaryTranslation\"=\"Kapillär\"\n");
  EXPECT_EQ(ReadRegInteger(registry_, "ClientSocketPort", 14001), 15003);
  EXPECT_EQ(ReadRegInteger(registry_, "ABLSocketPort", 14000), 15002);
  EXPECT_TRUE(ReadRegBool(registry_, "AutoCreate"));
  EXPECT_TRUE(ReadRegBool(registry_, "ParameterGrouping"));  // any non-zero
  EXPECT_FALSE(ReadRegBool(registry_, "UseFirstTen"));
  EXPECT_FALSE(ReadCheckForDSR(registry_));
  const TSpecimenTranslations translations = ReadSpecimenTranslations(registry_);
  EXPECT_EQ(translations.venous, "Vene");
  EXPECT_EQ(translations.mixed_venous, "Blandven\xF6s");
  EXPECT_EQ(translations.not_specified, "Not specified");  // empty keeps the default
  EXPECT_EQ(translations.arterial, "Art\xE4r");
  EXPECT_EQ(translations.capillary, "Kapill\xE4r");
}

TEST_F(SettingsTest, TheKeyAloneGivesTheDefaultsThatNeedIt) {
  Store(kAblKey);
  EXPECT_TRUE(ReadCheckForDSR(registry_));
  const TSpecimenTranslations translations = ReadSpecimenTranslations(registry_);
  EXPECT_EQ(translations.venous, "Venous");
  EXPECT_EQ(translations.mixed_venous, "Mixed-venous");
  EXPECT_EQ(translations.not_specified, "Not specified");
  EXPECT_EQ(translations.arterial, "Arterial");
  EXPECT_EQ(translations.capillary, "Capillary");
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeCountAsMissing) {
  Store(std::string(kAblKey) +
        "\"ClientSocketPort\"=\"14005\"\n"
        "\"AutoCreate\"=\"yes\"\n"
        "\"CheckForDSR\"=\"0\"\n"
        "\"VenousTranslation\"=dword:00000001\n");
  EXPECT_EQ(ReadRegInteger(registry_, "ClientSocketPort", 14001), 14001);
  EXPECT_FALSE(ReadRegBool(registry_, "AutoCreate"));
  EXPECT_TRUE(ReadCheckForDSR(registry_));
  EXPECT_EQ(ReadSpecimenTranslations(registry_).venous, "Venous");
}

TEST_F(SettingsTest, WritingABooleanCreatesTheKey) {
  WriteRegBool(registry_, "UseFirstTen", true);
  EXPECT_TRUE(ReadRegBool(registry_, "UseFirstTen"));
  WriteRegBool(registry_, "UseFirstTen", false);
  EXPECT_FALSE(ReadRegBool(registry_, "UseFirstTen"));
  // The key now exists, so CheckForDSR defaults to on.
  EXPECT_TRUE(ReadCheckForDSR(registry_));
}

TEST_F(SettingsTest, TheDataRoot) {
  struct Case {
    const char* keys;
    const char* root;
  };
  const Case cases[] = {
      {"[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\1.0\\File Paths]\n"
       "\"ZQTData\"=\"D:\\\\Data\\\\ZQT\\\\ZQTDATA.INI\"\n",
       "D:\\Data\\ZQT\\"},
      {"[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
       "\"ZQTData\"=\"/srv/zqt/file\"\n",
       "/srv/zqt/"},
      {"[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
       "\"ZQTData\"=\"C:\\\\file\"\n",
       "C:\\"},  // a drive's root keeps its separator
      {"[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
       "\"ZQTData\"=\"file\"\n",
       ""},  // no folder part
      {"[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n",
       "C:\\ZQT\\"},  // the key without the value
      // The first key that exists counts, even without the value.
      {"[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\1.0\\File Paths]\n\n"
       "[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]\n"
       "\"ZQTData\"=\"E:\\\\x\\\\y\"\n",
       "C:\\ZQT\\"},
      {"[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\1.0\\File Paths]\n"
       "\"ZQTData\"=dword:00000001\n",
       "C:\\ZQT\\"},  // not a text: as if missing
  };
  for (const Case& c : cases) {
    Store(c.keys);
    EXPECT_EQ(GetDataRoot(registry_), c.root) << c.keys;
  }
  const TCollectorPaths paths = TCollectorPaths::FromRoot("C:\\ZQT\\");
  EXPECT_EQ(paths.data_dir, "C:\\ZQT\\DATA/");
  EXPECT_EQ(paths.ini_file, "C:\\ZQT\\ZQTDATA.INI");
  EXPECT_EQ(paths.log_file, "C:\\ZQT\\DATA/ABL 625 Logfile.txt");
}

TEST(DataSourceTest, FromTheCommandLineAndTheAutostartEntry) {
  struct Case {
    const char* argument;
    std::optional<std::string> autostart;
    std::optional<TDataSource> source;
    const char* error;
  };
  const std::string program = "/home/COMPANY/gasbridge";
  const Case cases[] = {
      {"wardvorta-host.lan", std::nullopt, TDataSource{Kind::kRelay, 0, "-HOST.LAN"}, ""},
      {"Wardvorta10.0.0.7", std::nullopt, TDataSource{Kind::kRelay, 0, "10.0.0.7"}, ""},
      {"ABL", std::nullopt, TDataSource{Kind::kAnalyzerServer, 0, ""}, ""},
      {"COM12", std::nullopt, TDataSource{Kind::kSerial, 12, ""}, ""},
      {"com3", std::nullopt, TDataSource{Kind::kSerial, 3, ""}, ""},
      {"COM20", std::nullopt, TDataSource{Kind::kSerial, 20, ""}, ""},
      {"COM0", std::nullopt, TDataSource{}, ""},
      {"COMX", std::nullopt, std::nullopt, "Faulty parameter - COMX"},
      {"COM255", std::nullopt, TDataSource{Kind::kSerial, 255, ""}, ""},
      {"COM256", std::nullopt, std::nullopt, "Faulty parameter - COM256"},
      // The command line wins over the autostart entry.
      {"COM2", program + "|COM5", TDataSource{Kind::kSerial, 2, ""}, ""},
      // Without a keyword on the command line: the entry's COM form only.
      {"", program + "|COM5", TDataSource{Kind::kSerial, 5, ""}, ""},
      {"--other", program + "|COM17", TDataSource{Kind::kSerial, 17, ""}, ""},
      {"", program + "|WARDVORTAhost", std::nullopt, ""},
      {"", program + "|ABLhost", std::nullopt, ""},
      {"", program + "|COMX", std::nullopt, ""},
      {"", program + "|COM255", TDataSource{Kind::kSerial, 255, ""}, ""},
      {"", program + "|COM256", std::nullopt, ""},
      // "COM" in the path means nothing.
      {"", "/opt/COM1/gasbridge|", std::nullopt, ""},
      {"", "/opt/COM1/gasbridge|WARDVORTACOM2", std::nullopt, ""},
      {"", std::nullopt, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    const TStartSource start = DataSourceAtStart(c.argument, c.autostart);
    EXPECT_EQ(start.source, c.source) << c.argument << " / " << c.autostart.value_or("-");
    EXPECT_EQ(start.error, c.error) << c.argument;
  }
}

// Its milliseconds must fit Qt's int: 4,294,968 s would come to 0.73 s.
TEST(QuitAfterTest, SecondsAreTakenToTheirLimitsAndRefusedOnePast) {
  static_assert(kMaxQuitAfterSeconds * 1000LL <= std::numeric_limits<int>::max());
  const struct {
    const char* text;
    std::optional<int> seconds;
  } cases[] = {
      {"1", 1},
      {"0", std::nullopt},
      {"2147483", 2147483},
      {"2147484", std::nullopt},
      {"4294968", std::nullopt},
      {"-1", std::nullopt},
      {"", std::nullopt},
      {"5s", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QuitAfterSeconds(c.text), c.seconds) << c.text;
}

TEST_F(SettingsTest, TheAutostartEntry) {
  const TDataSource com3{Kind::kSerial, 3, ""};
  WriteAutostart(registry_, true, "/opt/gasbridge", TDataSource{});
  EXPECT_EQ(ReadAutostartValue(registry_), std::nullopt);  // no source: DoStart only
  WriteAutostart(registry_, true, "/opt/gasbridge", com3);
  EXPECT_EQ(ReadAutostartValue(registry_), "/opt/gasbridge|COM3");
  ASSERT_TRUE(registry_.OpenKeyReadOnly(kAutostartKey));
  EXPECT_EQ(registry_.ReadInteger("DoStart"), 1);
  registry_.CloseKey();

  ASSERT_TRUE(registry_.OpenKey(kRunKey, true));
  registry_.WriteString("Gasbridge", "/opt/gasbridge");
  registry_.WriteString("Other", "kept");
  registry_.CloseKey();
  WriteAutostart(registry_, false, "/opt/gasbridge", com3);
  ASSERT_TRUE(registry_.OpenKeyReadOnly(kAutostartKey));
  EXPECT_EQ(registry_.ReadInteger("DoStart"), 0);
  EXPECT_EQ(registry_.ReadString(""), "/opt/gasbridge|COM3");  // the value stays
  registry_.CloseKey();
  ASSERT_TRUE(registry_.OpenKeyReadOnly(kRunKey));
  EXPECT_FALSE(registry_.ValueExists("Gasbridge"));
  EXPECT_TRUE(registry_.ValueExists("Other"));
  registry_.CloseKey();

  EXPECT_EQ(AutostartValue("/p", TDataSource{Kind::kRelay, 0, "HOST"}), "/p|WARDVORTAHOST");
  EXPECT_EQ(AutostartValue("/p", TDataSource{Kind::kAnalyzerServer, 0, ""}), "/p|ABL");
  EXPECT_EQ(AutostartValue("/p", TDataSource{Kind::kSerial, 20, ""}), "/p|COM20");
}

}  // namespace
