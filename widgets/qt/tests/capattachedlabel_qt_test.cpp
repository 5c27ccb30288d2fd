#include "widgets/qt/capattachedlabel_qt.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "platform/qt/tests/qt_app.h"

namespace {

TEST(CapAttachedLabelControlTest, FormResourcesNamingTheClassCanBeRead) {
  RegisterCapAttachedLabelClass();
  RegisterCapAttachedLabelClass();  // registered once; a second call changes nothing
  platform::qt::TForm window("TAttachedWindow");
  platform::TReader(
      "object AttachedWindow: TAttachedWindow\n"
      "  object CapAttachedLabel1: TCapAttachedLabel\n"
      "    Left = 8\n"
      "    Top = 12\n"
      "    Width = 80\n"
      "    Height = 17\n"
      "    Caption = '&Port'\n"
      "    FocusControl = Edit1\n"
      "  end\n"
      "end\n")
      .ReadRootComponent(window);
  auto* label = window.Find<TCapAttachedLabelControl>("CapAttachedLabel1");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->FormClassName(), "TCapAttachedLabel");
  EXPECT_EQ(label->Caption(), "&Port");
  EXPECT_EQ(static_cast<QLabel*>(label->Widget())->text(), "Port");  // a plain label's prefix
  EXPECT_EQ(label->Model().Bounds(), (platform::Rect{8, 12, 88, 29}));
  EXPECT_TRUE(label->Model().AutoSize());
  EXPECT_FALSE(label->Model().Transparent());
  EXPECT_EQ(label->Model().Control(), nullptr);
}

}  // namespace
