#include "platform/dialogs.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(DialogsTest, ScriptedAnswersInOrderAndRecordsTheQuestions) {
  ScopedScriptedDialogs dialogs;
  dialogs->AnswerMessage(mrYes);
  dialogs->AnswerInput("10.0.0.1");
  dialogs->CancelInput();
  EXPECT_EQ(MessageDlg("Really want to clear logfile", MsgDlgType::kConfirmation, mb::kYesNoCancel),
            mrYes);
  // No answer left: the one that changes nothing.
  EXPECT_EQ(MessageDlg("Again?", MsgDlgType::kConfirmation, mb::kYes | mb::kNo), mrNo);
  std::string host = "old";
  EXPECT_TRUE(InputQuery("IP address or computer name", "Enter IP address or computer name", host));
  EXPECT_EQ(host, "10.0.0.1");
  EXPECT_FALSE(InputQuery("c", "p", host));
  EXPECT_EQ(host, "10.0.0.1");
  EXPECT_FALSE(InputQuery("c", "p", host));
  ShowMessage("Please set Com Number first");
  const auto& asked = dialogs->questions();
  ASSERT_EQ(asked.size(), 6u);
  EXPECT_EQ(asked[0].text, "Really want to clear logfile");
  EXPECT_EQ(asked[0].buttons, mb::kYesNoCancel);
  EXPECT_EQ(asked[2].kind, ScriptedDialogs::Kind::kInputQuery);
  EXPECT_EQ(asked[2].caption, "IP address or computer name");
  EXPECT_EQ(asked[2].initial, "old");
  EXPECT_EQ(asked[5].kind, ScriptedDialogs::Kind::kShowMessage);
}

TEST(DialogsTest, UnattendedAnswersLeaveThingsAsTheyAre) {
  EXPECT_EQ(UnattendedAnswer(mb::kYesNoCancel), mrCancel);
  EXPECT_EQ(UnattendedAnswer(mb::kYes | mb::kNo), mrNo);
  EXPECT_EQ(UnattendedAnswer(mb::kOk), mrOk);
  EXPECT_EQ(UnattendedAnswer(mb::kRetry | mb::kIgnore), mrRetry);
  std::string value = "v";
  EXPECT_FALSE(CurrentDialogs().InputQuery("c", "p", value));
  EXPECT_EQ(value, "v");
}

}  // namespace
}  // namespace platform
