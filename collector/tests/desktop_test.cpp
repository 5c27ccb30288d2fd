#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QProcess>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "collector/OnlyOne.h"
#include "collector/QORUtils.h"
#include "platform/program.h"
#include "platform/qt/forms.h"
#include "platform/qt/tests/qt_app.h"
#include "platform/tests/temp_folder.h"

namespace {

using platform_test::RunUntil;

// Counts what the desktop is asked instead of asking it.
class CountingIcon : public TTaskbarIconControler {
 public:
  using TTaskbarIconControler::TTaskbarIconControler;
  ~CountingIcon() override { SetActive(false); }
  int adds = 0;
  int modifies = 0;
  int deletes = 0;
  bool add_works = true;

 protected:
  bool AddIcon() override {
    ++adds;
    return add_works;
  }
  bool ModifyIcon() override {
    ++modifies;
    return true;
  }
  bool DeleteIcon() override {
    ++deletes;
    return true;
  }
};

TEST(TaskbarIconTest, MouseRules) {
  platform_test::App();
  CountingIcon icon(nullptr, "TaskbarIconControler1");
  std::vector<std::string> events;
  auto name = [](TMouseButton b) {
    return b == TMouseButton::mbLeft ? "left" : b == TMouseButton::mbRight ? "right" : "middle";
  };
  icon.OnMouseDown = [&](platform::qt::TComponentBase*, TMouseButton b, uint32_t, int, int) {
    events.push_back(std::string("down ") + name(b));
  };
  icon.OnMouseUp = [&](platform::qt::TComponentBase*, TMouseButton b, uint32_t, int, int) {
    events.push_back(std::string("up ") + name(b));
  };
  icon.OnClick = [&](platform::qt::TComponentBase*) { events.push_back("click"); };
  icon.OnDblClk = [&](platform::qt::TComponentBase*) { events.push_back("dblclk"); };
  for (int message : {516, 517, 513, 514, 521, 512, 522, 519, 520})
    icon.HandleMouseMessage(message);
  EXPECT_EQ(events,
            (std::vector<std::string>{"down right", "up right", "click", "down left", "up left",
                                      "click", "dblclk", "down middle", "up middle", "click"}));
}

TEST(TaskbarIconTest, ActivatingTwiceAddsOnceAndFailuresLeaveItInactive) {
  platform_test::App();
  CountingIcon icon(nullptr, "TaskbarIconControler1");
  icon.SetActive(true);
  icon.SetActive(true);
  EXPECT_EQ(icon.adds, 1);
  EXPECT_TRUE(icon.Active());
  icon.SetActive(false);
  EXPECT_EQ(icon.deletes, 1);
  EXPECT_FALSE(icon.Active());
  icon.add_works = false;
  icon.SetActive(true);  // absorbed, not raised
  EXPECT_FALSE(icon.Active());
}

TEST(TaskbarIconTest, WithoutAnImageOfItsOwnTheIconFollowsTheApplications) {
  platform_test::App();
  platform::qt::TForm window("TForm1");
  CountingIcon icon(&window, "TaskbarIconControler1");
  icon.SetActive(true);
  const int before = icon.modifies;
  QPixmap red(16, 16);
  red.fill(Qt::red);
  QApplication::setWindowIcon(QIcon(red));
  EXPECT_EQ(icon.modifies, before + 1);
  icon.SetIcon(QIcon(red));
  const int own = icon.modifies;
  QApplication::setWindowIcon(QIcon());
  EXPECT_EQ(icon.modifies, own);  // its own image stays
  icon.SetHint("Gasbridge");
  EXPECT_EQ(icon.modifies, own + 1);
  icon.SetHint("Gasbridge");  // the same hint changes nothing
  EXPECT_EQ(icon.modifies, own + 1);
}

TEST(TaskbarIconTest, WithoutANotificationAreaTheIconIsNotAdded) {
  platform_test::App();  // the offscreen platform has none
  TTaskbarIconControler icon(nullptr, "TaskbarIconControler1");
  icon.SetActive(true);
  EXPECT_FALSE(icon.Active());
}

TEST(FileVersionTest, TheProgramsVersionElseUnknown) {
  TFileVersionScanner scanner(nullptr, "FileVersion");
  EXPECT_EQ(scanner.GetFileVersion(), QOR_EXPECTED_VERSION);
  EXPECT_EQ(scanner.GetVersionValue("/bin/sh", "040904E4"), "Unknown version");
  EXPECT_EQ(scanner.GetVersionValue(platform::ProgramPath(), "041D04E4"), "Unknown version");
}

class OnlyOneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_test::App();
    ::setenv("XDG_RUNTIME_DIR", folder_.path().c_str(), 1);
    ::setenv("QOR_REGISTRY", (folder_.path() + "/registry.reg").c_str(), 1);
    platform::SetApplicationTitle("Gasbridge test");
  }
  void TearDown() override { platform::SetApplicationTitle("Gasbridge test"); }
  platform_test::TempFolder folder_{"qor_onlyone"};
};

// Runs a second start of the program (the probe) to its end while this process
// serves its requests; its exit code (onlyone_probe.cpp), -1 when it did not end.
// Store: its QOR_REGISTRY, Folder: its working folder, when given.
int SecondStart(const std::string& store = "", const std::string& folder = "") {
  QProcess probe;
  if (!store.empty()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QOR_REGISTRY", QString::fromStdString(store));
    probe.setProcessEnvironment(environment);
  }
  if (!folder.empty()) probe.setWorkingDirectory(QString::fromStdString(folder));
  probe.start(QOR_ONLYONE_PROBE, {"Gasbridge test"});
  // Checked again after the loop: a loop ended by something else is no end of it.
  if (!RunUntil([&] { return probe.state() == QProcess::NotRunning; }) ||
      probe.state() != QProcess::NotRunning) {
    probe.kill();
    probe.waitForFinished();
    return -1;
  }
  return probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1;
}

TEST_F(OnlyOneTest, ASecondStartBringsTheFirstForwardAndEnds) {
  platform::qt::TForm window("TForm1");  // the first instance's main window, hidden
  TOnlyOne guard(&window, "OnlyOne1");
  ASSERT_TRUE(guard.CheckOnlyOne());
  EXPECT_EQ(SecondStart(), 3);
  EXPECT_TRUE(RunUntil([&] { return window.isVisible(); }));  // shown when hidden
  window.showMinimized();
  ASSERT_TRUE(window.isMinimized());
  EXPECT_EQ(SecondStart(), 3);
  EXPECT_TRUE(RunUntil([&] { return window.isVisible() && !window.isMinimized(); }));
}

TEST_F(OnlyOneTest, TheProgramDecidesBeforeItsFirstWindow) {
  ASSERT_TRUE(TOnlyOne::CheckAtStart());
  EXPECT_TRUE(TOnlyOne::CheckAtStart());  // asked again, the same answer
  EXPECT_EQ(SecondStart(), 3);
  // The main window's guard comes later and finds the guard its process holds;
  // from then on it is what comes forward.
  platform::qt::TForm window("TForm1");
  TOnlyOne guard(&window, "OnlyOne1");
  int forward = 0;
  guard.OnBringForward = [&] { ++forward; };
  ASSERT_TRUE(guard.CheckOnlyOne());
  EXPECT_EQ(SecondStart(), 3);
  EXPECT_TRUE(RunUntil([&] { return forward == 1; }));
}

TEST_F(OnlyOneTest, AGuardIsReleasedWithTheComponentThatTookIt) {
  {
    TOnlyOne guard(nullptr, "OnlyOne1");
    ASSERT_TRUE(guard.CheckOnlyOne());
    EXPECT_EQ(SecondStart(), 3);
  }
  EXPECT_EQ(SecondStart(), 0);
}

TEST_F(OnlyOneTest, AKilledInstanceNeverBlocksAStart) {
  const std::string lock = TOnlyOne::LockFilePath();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  // The child holds it while it lives. A start that gives way ends its program, so
  // it is asked in a program of its own: this one's event loop must go on serving
  // the tests after this one.
  EXPECT_EQ(SecondStart(), 3);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  TOnlyOne after(nullptr, "OnlyOne1");
  EXPECT_TRUE(after.CheckOnlyOne());
}

TEST_F(OnlyOneTest, CollectorsWithStoresOfTheirOwnRunSideBySide) {
  TOnlyOne first(nullptr, "OnlyOne1");
  ASSERT_TRUE(first.CheckOnlyOne());
  const std::string first_name = TOnlyOne::GuardName();
  ::setenv("QOR_REGISTRY", (folder_.path() + "/other.reg").c_str(), 1);
  EXPECT_NE(TOnlyOne::GuardName(), first_name);
  TOnlyOne second(nullptr, "OnlyOne1");
  EXPECT_TRUE(second.CheckOnlyOne());
  // A program of its own for each store.
  EXPECT_EQ(SecondStart(folder_.path() + "/third.reg"), 0);
  EXPECT_EQ(SecondStart(folder_.path() + "/other.reg"), 3);
}

TEST_F(OnlyOneTest, OneGuardPerStoreWhateverTheSpellingOfItsPath) {
  const std::string a = folder_.path() + "/a";
  std::filesystem::create_directories(a);
  std::filesystem::create_directories(folder_.path() + "/b");
  std::filesystem::create_directory_symlink(a, folder_.path() + "/link");
  {
    ::setenv("QOR_REGISTRY", (a + "/registry.reg").c_str(), 1);  // not there yet
    TOnlyOne first(nullptr, "OnlyOne1");
    ASSERT_TRUE(first.CheckOnlyOne());
    for (const std::string& same : {a + "/./registry.reg", a + "/../a/registry.reg",
                                    a + "//registry.reg", folder_.path() + "/link/registry.reg"}) {
      EXPECT_EQ(SecondStart(same), 3) << same;
    }
    EXPECT_EQ(SecondStart("registry.reg", a), 3);
    EXPECT_EQ(SecondStart("registry.reg", folder_.path() + "/b"), 0);
  }
  // The same text from two folders: two stores.
  ::setenv("QOR_REGISTRY", "registry.reg", 1);
  TOnlyOne here(nullptr, "OnlyOne1");
  ASSERT_TRUE(here.CheckOnlyOne());
  EXPECT_EQ(SecondStart("registry.reg", a), 0);
  EXPECT_EQ(SecondStart((std::filesystem::current_path() / "registry.reg").string()), 3);
}

}  // namespace
