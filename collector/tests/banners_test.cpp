#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "collector/NewPatient.h"
#include "collector/UnitStatus.h"
#include "datafile/QORClassLanguage.h"
#include "platform/program.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/qt/timer.h"
#include "platform/resources.h"
#include "platform/tests/temp_folder.h"

namespace {

using namespace std::string_literals;
using platform::qt::ScopedFakeTimers;

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

class BannersTest : public ::testing::Test {
 protected:
  void SetUp() override { platform_test::App(); }
  ScopedFakeTimers clock_;
};

TEST_F(BannersTest, TheStatusBannerIsBuiltFromItsFormResource) {
  TfrmStatus banner;
  EXPECT_EQ(banner.Caption(), "ABL 625 data transfer to Wardvorta");
  EXPECT_EQ(banner.size(), QSize(688, 45));
  EXPECT_TRUE(banner.StayOnTop());
  EXPECT_FALSE(banner.isVisible());
  const TCapLabel& label = banner.LblStatus->Label();
  EXPECT_EQ(label.Bounds(), (platform::Rect{0, 0, 688, 45}));
  EXPECT_EQ(label.Color(), platform::kClAqua);
  EXPECT_FALSE(label.Transparent());
  EXPECT_EQ(label.ColorScheme(), csCustom);
  EXPECT_EQ(label.CustomSettings().HighlightColor(), platform::kClYellow);
  EXPECT_EQ(label.Font().color, platform::kClOlive);
  EXPECT_EQ(label.Font().height, -19);
  EXPECT_EQ(label.Font().name, "MS Sans Serif");
  EXPECT_EQ(label.Alignment(), TCapAlignment::taLeftJustify);
  EXPECT_EQ(label.Appearance(), apRaised);
  EXPECT_EQ(banner.Timer1->Interval(), 3000u);
  EXPECT_FALSE(banner.Timer1->Enabled());
}

TEST_F(BannersTest, TheNewPatientNoticeIsBuiltFromItsFormResource) {
  TfrmNewPatient notice;
  EXPECT_EQ(notice.Caption(), "New Patient");
  EXPECT_EQ(notice.size(), QSize(656, 67));
  EXPECT_EQ(notice.LblStatus->Label().Alignment(), TCapAlignment::taCenter);
  EXPECT_EQ(notice.LblStatus->Label().Bounds(), (platform::Rect{0, 0, 656, 67}));
  EXPECT_EQ(notice.LblStatus->Label().Font().color, platform::kClOlive);
  EXPECT_EQ(notice.Timer1->Interval(), 5000u);
  EXPECT_FALSE(notice.Timer1->Enabled());
}

TEST_F(BannersTest, TwoTransfersOneSecondApartHideThreeSecondsAfterTheFirst) {
  TfrmStatus banner;
  clock_->Advance(2500);  // a banner shown in its first seconds gets its full time
  banner.LblStatus->SetCaption("first");
  banner.show();
  EXPECT_TRUE(banner.Timer1->Enabled());
  clock_->Advance(1000);
  banner.LblStatus->SetCaption("second");
  banner.show();  // already visible: only the text changes
  clock_->Advance(1999);
  EXPECT_TRUE(banner.isVisible());
  EXPECT_EQ(banner.LblStatus->Caption(), "second");
  clock_->Advance(1);
  EXPECT_FALSE(banner.isVisible());
  EXPECT_FALSE(banner.Timer1->Enabled());
  // The next transfer has its three seconds again.
  clock_->Advance(10000);
  banner.show();
  clock_->Advance(2999);
  EXPECT_TRUE(banner.isVisible());
  clock_->Advance(1);
  EXPECT_FALSE(banner.isVisible());
}

TEST_F(BannersTest, ClosingABannerHidesItWithoutEndingTheProgram) {
  int last_window_closed = 0;
  const QMetaObject::Connection connection =
      QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ++last_window_closed; });
  TfrmStatus banner;  // the only window shown: the main window waits hidden
  banner.show();
  clock_->Advance(1000);
  banner.Close();
  EXPECT_FALSE(banner.isVisible());
  EXPECT_EQ(last_window_closed, 0);
  EXPECT_FALSE(banner.Timer1->Enabled());
  // Shown again a second later, it stays its full three seconds.
  clock_->Advance(1000);
  banner.show();
  clock_->Advance(2999);
  EXPECT_TRUE(banner.isVisible());
  clock_->Advance(1);
  EXPECT_FALSE(banner.isVisible());
  TfrmNewPatient notice;
  notice.show();
  notice.Close();
  EXPECT_EQ(last_window_closed, 0);
  QObject::disconnect(connection);
}

TEST_F(BannersTest, CreatePatientShowsTheNoticeAndWritesThePatientFile) {
  platform_test::TempFolder data("qor_newpatient");
  const std::string folder = data.path() + "/DATA/12345678.$90/";
  TfrmNewPatient notice;
  ASSERT_TRUE(notice.CreatePatient("123456-7890", "B", "Smith & Jones", folder));
  // The caption shows "&" as it is.
  EXPECT_EQ(notice.LblStatus->Caption(), "Created: 123456-7890 (B Smith & Jones) - " + folder);
  EXPECT_TRUE(notice.LblStatus->Label().TextFlags() & platform::dt::kNoPrefix);
  EXPECT_TRUE(notice.isVisible());
  const std::vector<char> file = FileBytes(folder + "Patient");
  ASSERT_EQ(file.size(), 271u);
  EXPECT_EQ(std::string(&file[2], 14), "Smith & Jones\0"s);
  EXPECT_EQ(std::string(&file[23], 2), "B\0"s);
  EXPECT_EQ(std::string(&file[44], 12), "123456-7890\0"s);
  // Five seconds; a second patient four seconds in only changes the text.
  clock_->Advance(4000);
  ASSERT_TRUE(notice.CreatePatient("234567-8901", "C", "D", data.path() + "/DATA/23456789.$01"));
  EXPECT_EQ(FileBytes(data.path() + "/DATA/23456789.$01/Patient").size(), 271u);
  clock_->Advance(999);
  EXPECT_TRUE(notice.isVisible());
  clock_->Advance(1);
  EXPECT_FALSE(notice.isVisible());
  EXPECT_FALSE(notice.Timer1->Enabled());
}

TEST_F(BannersTest, CreatePatientKeepsAPatientFileThatIsThere) {
  platform_test::TempFolder data("qor_newpatient");
  const std::string folder = data.path() + "/12345678.$90/";
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "Patient") << "the main application's patient file";
  TfrmNewPatient notice;
  EXPECT_TRUE(notice.CreatePatient("123456-7890", "B", "Smith", folder));
  const std::vector<char> file = FileBytes(folder + "Patient");
  EXPECT_EQ(std::string(file.begin(), file.end()), "the main application's patient file");
}

TEST_F(BannersTest, APatientFolderThatCannotBeMadeWritesNothing) {
  platform_test::TempFolder data("qor_newpatient");
  std::ofstream(data.path() + "/DATA") << "a file where the data folder should be";
  TfrmNewPatient notice;
  EXPECT_FALSE(notice.CreatePatient("NULL-", "", "", data.path() + "/DATA/NULL.$/"));
  EXPECT_TRUE(notice.isVisible());  // the notice shows whatever follows
  EXPECT_EQ(notice.LblStatus->Caption(), "Created: NULL- ( ) - " + data.path() + "/DATA/NULL.$/");
}

// Screenshots of both banners as the offscreen platform draws them, written
// beside the tests; what is checked is that the windows and their texts are there.
TEST_F(BannersTest, ScreenshotsOfTheBanners) {
  QDir().mkpath(QOR_SCREENSHOT_DIR);
  TfrmStatus banner;
  banner.LblStatus->SetCaption(
      "2001-01-19 15:50 Transferring Smith & Jones (123456-7890) to Wardvorta");
  banner.show();
  TfrmNewPatient notice;
  notice.LblStatus->SetCaption("Created: 123456-7890 (B Smith & Jones) - DATA/12345678.$90/");
  notice.show();
  struct Shot {
    platform::qt::TForm* window;
    TCapLabelControl* label;
    const char* file;
    QSize size;
  };
  for (const Shot& shot :
       {Shot{&banner, banner.LblStatus, "/TfrmStatus.png", QSize(688, 45)},
        Shot{&notice, notice.LblStatus, "/TfrmNewPatient.png", QSize(656, 67)}}) {
    const std::string path = std::string(QOR_SCREENSHOT_DIR) + shot.file;
    ASSERT_TRUE(shot.window->grab().save(QString::fromStdString(path), "PNG")) << path;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(path))) << path;
    EXPECT_EQ(image.size(), shot.size) << path;
    EXPECT_TRUE(shot.window->isVisible());
    EXPECT_TRUE(shot.label->Widget()->isVisible());
    EXPECT_EQ(shot.label->Widget()->geometry(), QRect(QPoint(0, 0), shot.size));
    // The label's background, its face in the font colour and its highlight copy.
    EXPECT_TRUE(platform_test::HasColor(image, platform::kClAqua)) << path;
    EXPECT_TRUE(platform_test::HasColor(image, platform::kClOlive)) << path;
    EXPECT_TRUE(platform_test::HasColor(image, platform::kClYellow)) << path;
  }
  EXPECT_NE(banner.LblStatus->Caption().find("Smith & Jones"), std::string::npos);
  EXPECT_EQ(banner.Caption(), "ABL 625 data transfer to Wardvorta");
  EXPECT_EQ(notice.Caption(), "New Patient");
}

// The language module switch, seen in the banners' texts: an open banner is read
// again from the module, and one made afterwards is built from it.
TEST_F(BannersTest, TheLanguageModuleSwitchShowsInTheBannersTexts) {
  const platform::ScopedProgramPath program(std::string(QOR_COLLECTOR_MODULE_DIR) + "/gasbridge");
  TfrmStatus banner;
  banner.LblStatus->SetCaption("Transferring");
  banner.show();
  TLanguageManager::SetLanguage(1036);  // no French module: nothing changes
  EXPECT_EQ(banner.Caption(), "ABL 625 data transfer to Wardvorta");
  TLanguageManager::SetLanguage(1053);
  ASSERT_NE(platform::CurrentResourceModule(), nullptr);
  EXPECT_EQ(banner.Caption(), "ABL 625 data\xF6verf\xF6ring till Wardvorta");
  EXPECT_EQ(banner.windowTitle(), QString::fromUtf8("ABL 625 dataöverföring till Wardvorta"));
  EXPECT_EQ(banner.LblStatus->Caption(), "Transferring");  // the program's text stays
  EXPECT_EQ(banner.LblStatus->Label().Font().color, platform::kClOlive);
  {
    TfrmNewPatient notice;
    EXPECT_EQ(notice.Caption(), "Ny patient");
    EXPECT_EQ(notice.LblStatus->Label().Alignment(), TCapAlignment::taCenter);
  }
  platform::SetResourceModule(nullptr);
}

}  // namespace
