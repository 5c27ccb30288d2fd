#include "platform/qt/timer.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/qt/event_loop.h"
#include "platform/qt/tests/qt_app.h"

namespace platform::qt {
namespace {

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    timer_.OnTimer = [this](TComponentBase*) { fired_.push_back(fake_->Now()); };
  }
  ScopedFakeTimers fake_;
  TTimer timer_{nullptr, "Timer1"};
  std::vector<int64_t> fired_;
};

TEST_F(TimerTest, FiresEveryIntervalWhileEnabled) {
  timer_.SetInterval(500);
  fake_->Advance(1600);
  EXPECT_EQ(fired_, (std::vector<int64_t>{500, 1000, 1500}));
  timer_.SetEnabled(false);
  fake_->Advance(2000);
  EXPECT_EQ(fired_.size(), 3u);
}

TEST_F(TimerTest, EnablingARunningTimerDoesNotRestartIt) {
  timer_.SetInterval(1000);
  fake_->Advance(700);
  timer_.SetEnabled(true);
  fake_->Advance(300);
  EXPECT_EQ(fired_, (std::vector<int64_t>{1000}));
}

TEST_F(TimerTest, ADifferentIntervalRestartsTheSameChangesNothing) {
  timer_.SetInterval(1000);
  fake_->Advance(700);
  timer_.SetInterval(1000);
  fake_->Advance(300);
  EXPECT_EQ(fired_, (std::vector<int64_t>{1000}));
  fake_->Advance(700);  // now 1700
  timer_.SetInterval(500);
  fake_->Advance(500);
  EXPECT_EQ(fired_, (std::vector<int64_t>{1000, 2200}));
}

TEST_F(TimerTest, AnIntervalOfZeroNeverFires) {
  timer_.SetInterval(0);
  EXPECT_FALSE(timer_.Running());
  fake_->Advance(100000);
  EXPECT_TRUE(fired_.empty());
  timer_.SetInterval(10);
  EXPECT_TRUE(timer_.Running());
}

TEST_F(TimerTest, NothingStartsWhileLoadingTheLoadedValuesStartIt) {
  TTimer loading(nullptr, "Timer2");
  std::vector<int64_t> fired;
  loading.OnTimer = [&](TComponentBase*) { fired.push_back(fake_->Now()); };
  loading.BeginLoading();
  loading.SetInterval(300);
  loading.SetEnabled(false);
  loading.SetEnabled(true);
  EXPECT_FALSE(loading.Running());
  fake_->Advance(1000);
  loading.Loaded();
  fake_->Advance(300);
  EXPECT_EQ(fired, (std::vector<int64_t>{1300}));
}

TEST_F(TimerTest, AnExceptionInTheHandlerGoesToTheHookAndTheTimerGoesOn) {
  std::vector<std::string> hooked;
  SetExceptionHook([&](const std::exception& e) { hooked.push_back(e.what()); });
  timer_.SetInterval(100);
  timer_.OnTimer = [](TComponentBase*) { throw Exception("boom"); };
  fake_->Advance(250);
  SetExceptionHook(nullptr);
  EXPECT_EQ(hooked, (std::vector<std::string>{"boom", "boom"}));
  EXPECT_TRUE(timer_.Running());
}

TEST(RealTimerTest, RunsOnTheEventLoop) {
  TTimer timer(nullptr, "Timer1");
  int fired = 0;
  timer.OnTimer = [&](TComponentBase*) {
    if (++fired == 3) timer.SetEnabled(false);
  };
  timer.SetInterval(5);
  EXPECT_TRUE(platform_test::RunUntil([&] { return fired >= 3; }));
  EXPECT_FALSE(timer.Running());
}

}  // namespace
}  // namespace platform::qt
