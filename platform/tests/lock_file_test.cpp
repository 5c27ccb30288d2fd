#include "platform/lock_file.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "platform/tests/temp_folder.h"

namespace {

using Result = platform::LockFile::Result;

class LockFileTest : public ::testing::Test {
 protected:
  platform_test::TempFolder folder_{"lock_file_test"};
  const std::string path_ = folder_.path() + "/guard.lock";
};

TEST_F(LockFileTest, OneHolderAtATimeAndTheFileIsTheOwnersOnly) {
  platform::LockFile first;
  EXPECT_FALSE(first.Held());
  ASSERT_EQ(first.TryTake(path_), Result::kTaken);
  EXPECT_TRUE(first.Held());
  struct stat st;
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  platform::LockFile second;
  EXPECT_EQ(second.TryTake(path_), Result::kHeldByAnother);
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_FALSE(first.Held());
  EXPECT_EQ(second.TryTake(path_), Result::kTaken);
  EXPECT_EQ(first.TryTake(path_), Result::kHeldByAnother);
}

TEST_F(LockFileTest, TheLockMovesWithTheObjectAndGoesWithIt) {
  platform::LockFile other;
  {
    platform::LockFile taken;
    ASSERT_EQ(taken.TryTake(path_), Result::kTaken);
    platform::LockFile moved(std::move(taken));
    EXPECT_FALSE(taken.Held());
    EXPECT_TRUE(moved.Held());
    platform::LockFile assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(assigned.Held());
    EXPECT_EQ(other.TryTake(path_), Result::kHeldByAnother);
  }
  EXPECT_EQ(other.TryTake(path_), Result::kTaken);
}

TEST_F(LockFileTest, NoPlaceForTheFile) {
  platform::LockFile lock;
  EXPECT_EQ(lock.TryTake(folder_.path() + "/none/guard.lock"), Result::kCannotOpen);
  EXPECT_FALSE(lock.Held());
}

// Another process holds the lock until it is killed; the system then releases it.
TEST_F(LockFileTest, AKilledHolderReleasesTheLock) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::LockFile held;
    const char taken = held.TryTake(path_) == Result::kTaken ? 'y' : 'n';
    if (::write(ready[1], &taken, 1) != 1) ::_exit(1);
    for (;;)
      ::pause();
  }
  ::close(ready[1]);
  char taken = 0;
  ASSERT_EQ(::read(ready[0], &taken, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(taken, 'y');
  platform::LockFile lock;
  EXPECT_EQ(lock.TryTake(path_), Result::kHeldByAnother);
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(lock.TryTake(path_), Result::kTaken);
}

}  // namespace
