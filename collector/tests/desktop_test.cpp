#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "collector/OnlyOne.h"
#include "collector/QORUtils.h"
#include "platform/program.h"
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
  int deletes = 0;
  bool add_works = true;

 protected:
  bool AddIcon() override {
    ++adds;
    return add_works;
  }
  bool ModifyIcon() override { return true; }
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

TEST_F(OnlyOneTest, ASecondInstanceBringsTheFirstForwardAndEnds) {
  TOnlyOne first(nullptr, "OnlyOne1");
  int forward = 0;
  first.OnBringForward = [&] { ++forward; };
  ASSERT_TRUE(first.CheckOnlyOne());
  TOnlyOne second(nullptr, "OnlyOne1");
  EXPECT_FALSE(second.CheckOnlyOne());
  EXPECT_EQ(platform::ApplicationTitle(), "destroy me");
  EXPECT_TRUE(platform_test::App().Terminated());
  EXPECT_TRUE(RunUntil([&] { return forward == 1; }));
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
  {
    TOnlyOne blocked(nullptr, "OnlyOne1");
    platform::SetApplicationTitle("Gasbridge test");
    EXPECT_FALSE(blocked.CheckOnlyOne());  // the child holds it while it lives
    platform::SetApplicationTitle("Gasbridge test");
  }
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
}

}  // namespace

// Fontconfig keeps a cache for the life of the process, which the leak checker of
// the sanitizer build would report as ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
