#include "platform/qt/event_loop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/exception.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "event_loop_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  return *app;
}

class EventLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    SetExceptionHook([this](const std::exception& e) { reported_ += e.what(); });
  }
  void TearDown() override { SetExceptionHook(nullptr); }

  // Processes posted events until Done holds (bounded, so a fault fails rather than hangs).
  template <class Pred>
  void SpinUntil(Pred done) {
    for (int i = 0; i < 20000 && !done(); ++i) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
      QCoreApplication::sendPostedEvents();
    }
  }

  std::string reported_;
};

TEST_F(EventLoopTest, PostedCallRunsLaterOnTheReceiversThread) {
  QObject receiver;
  std::thread::id ran_on;
  bool ran = false;
  std::thread([&] {
    PostCall(&receiver, [&] { ran = true, ran_on = std::this_thread::get_id(); });
  }).join();
  EXPECT_FALSE(ran);
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST_F(EventLoopTest, ExceptionsReachTheHookAndNeverLeaveTheCall) {
  QObject receiver;
  PostCall(&receiver, [] { throw Exception("Exception:boom"); });
  PostCall(&receiver, [] { throw 42; });
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(reported_, "Exception:boomUnknown exception");

  SetExceptionHook([](const std::exception&) { throw Exception("hook fails"); });
  RunGuarded([] { throw Exception("x"); });  // must not escape
}

// The hook runs on the application's thread (the programs' hooks touch their
// windows): a report from another thread is posted there, at once on its own.
TEST_F(EventLoopTest, AReportFromAnotherThreadReachesTheHookOnTheApplicationsThread) {
  std::vector<std::thread::id> hooked_on;
  std::vector<bool> as_raised;
  SetExceptionHook([&](const std::exception& e) {
    reported_ += e.what();
    hooked_on.push_back(std::this_thread::get_id());
    as_raised.push_back(dynamic_cast<const EConvertError*>(&e) != nullptr);
  });
  std::thread([] {
    try {
      throw EConvertError("caught;");
    } catch (const std::exception& e) {
      ReportException(e);  // the exception being handled travels itself
    }
    ReportException(EConvertError("made;"));  // not being handled: its message travels
  }).join();
  EXPECT_EQ(reported_, "");
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(reported_, "caught;made;");
  ReportException(EConvertError("here;"));
  EXPECT_EQ(reported_, "caught;made;here;");
  const std::thread::id self = std::this_thread::get_id();
  EXPECT_EQ(hooked_on, std::vector<std::thread::id>({self, self, self}));
  EXPECT_EQ(as_raised, std::vector<bool>({true, false, true}));
}

TEST_F(EventLoopTest, PostedCallToADestroyedReceiverIsDropped) {
  bool ran = false;
  {
    QObject receiver;
    PostCall(&receiver, [&] { ran = true; });
  }
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(ran);
}

TEST_F(EventLoopTest, SendCallWaitsForTheCallOnTheReceiversThread) {
  QObject receiver;
  int value = 0;
  auto result = std::async(std::launch::async, [&] {
    return SendCall(
        &receiver, [&] { value = 7; }, 3000ms);
  });
  SpinUntil([&] { return result.wait_for(0ms) == std::future_status::ready; });
  EXPECT_EQ(result.get(), SendResult::kDone);
  EXPECT_EQ(value, 7);
}

TEST_F(EventLoopTest, SendCallOnTheReceiversOwnThreadRunsAtOnce) {
  QObject receiver;
  int value = 0;
  EXPECT_EQ(SendCall(
                &receiver, [&] { value = 1; }, 0ms),
            SendResult::kDone);
  EXPECT_EQ(value, 1);
}

TEST_F(EventLoopTest, ATimedOutCallNeverRunsLater) {
  QObject receiver;
  bool ran = false;
  // This thread processes no events while the sender waits, so the call stays queued.
  auto result = std::async(std::launch::async, [&] {
                  return SendCall(
                      &receiver, [&] { ran = true; }, 20ms);
                }).get();
  EXPECT_EQ(result, SendResult::kTimedOut);
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(ran);
}

TEST_F(EventLoopTest, AStartedCallIsWaitedForBeyondTheTimeOut) {
  QObject receiver;
  std::atomic<bool> started{false};
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  // The call starts at once (this thread spins the loop) and then outlasts the
  // sender's time-out by a wide margin; the sender must still wait for its end.
  auto result = std::async(std::launch::async, [&] {
    return SendCall(
        &receiver,
        [&] {
          started = true;
          while (!release)
            std::this_thread::yield();
          finished = true;
        },
        1000ms);
  });
  std::thread releaser([&] {
    while (!started)
      std::this_thread::yield();
    std::this_thread::sleep_for(1300ms);
    release = true;
  });
  SpinUntil([&] { return finished.load(); });
  releaser.join();
  EXPECT_EQ(result.get(), SendResult::kDone);
}

TEST_F(EventLoopTest, AStartedCallIsLeftRunningWhenTheSenderSaysSo) {
  QObject receiver;
  std::atomic<bool> started{false};
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  std::atomic<bool> returned{false};
  // The sender gives up on a call that runs past its time-out; the call goes on to
  // its end with what it owns.
  auto result = std::async(std::launch::async, [&] {
    const SendResult r = SendCall(
        &receiver,
        [&, text = std::string("owned")] {
          started = true;
          while (!release)
            std::this_thread::yield();
          finished = text == "owned";
        },
        200ms, StartedCall::kReturn);
    returned = true;
    return r;
  });
  std::thread releaser([&] {
    while (!returned)
      std::this_thread::yield();
    release = true;
  });
  SpinUntil([&] { return finished.load(); });
  releaser.join();
  EXPECT_EQ(result.get(), SendResult::kStillRunning);
  EXPECT_TRUE(finished);
}

TEST_F(EventLoopTest, CancelPendingCallsWakesTheSenderAndWithdrawsTheCall) {
  QObject receiver;
  bool ran = false;
  std::atomic<bool> queued{false};
  auto result = std::async(std::launch::async, [&] {
    queued = true;
    return SendCall(
        &receiver, [&] { ran = true; }, 60s);
  });
  while (!queued)
    std::this_thread::yield();
  // The call may not be registered yet when the flag flips; cancel until the sender wakes.
  while (result.wait_for(1ms) != std::future_status::ready)
    CancelPendingCalls(&receiver);
  EXPECT_EQ(result.get(), SendResult::kCancelled);
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace platform
