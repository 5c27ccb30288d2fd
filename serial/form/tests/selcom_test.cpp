#include "serial/form/SerSelCom.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "platform/comm.h"
#include "platform/tests/pty_pair.h"
#include "serial/SerExcept.h"
#include "serial/SerPort.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "selcom_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Ports 1 and 3 present (3 held by another program), every other number absent.
class SelComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ports.Add(1);
    ports.Add(3);
    for (int n = 2; n <= 51; ++n) {
      if (n != 3) ports.Link(n, ports.path() + "/absent");
    }
    int error = 0;
    holder = platform::CommDevice::Open(platform::ResolveComPort("COM3"), &error);
    ASSERT_NE(holder, nullptr);
  }
  platform_test::ComPorts ports;
  std::unique_ptr<platform::CommDevice> holder;
};

TEST_F(SelComTest, ListsPresentAndHeldPortsAndSelectsTheFirst) {
  TComSelectForm form;
  EXPECT_EQ(form.windowTitle(), "Select Port");
  EXPECT_EQ(form.size(), QSize(220, 131));
  EXPECT_EQ(form.Label1->text(), "The configured serial port is not valid.");
  EXPECT_EQ(form.Label2->text(), "Please choose another port.");
  EXPECT_EQ(form.OkBtn->text(), "OK");
  EXPECT_TRUE(form.OkBtn->isDefault());
  EXPECT_EQ(form.AbortBtn->text(), "Cancel");
  ASSERT_EQ(form.PortsComboBox->count(), 2);
  EXPECT_EQ(form.PortsComboBox->itemText(0), "COM1");
  EXPECT_EQ(form.PortsComboBox->itemText(1), "COM3");
  EXPECT_EQ(form.SelectedPort(), 1);
  form.PortsComboBox->setCurrentIndex(1);
  EXPECT_EQ(form.SelectedPort(), 3);
}

TEST_F(SelComTest, EmptyListGivesNoNumber) {
  TComSelectForm form;
  form.PortsComboBox->clear();
  EXPECT_EQ(form.SelectedPort(), std::nullopt);
}

TEST_F(SelComTest, PortComponentOpensThePortChosenInTheForm) {
  RegisterComSelectForm();
  TSerComPort port(nullptr);
  // Confirms the dialog as soon as it shows.
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* form = dynamic_cast<TComSelectForm*>(w)) form->OkBtn->click();
    }
  });
  port.SetOpen(true);
  EXPECT_EQ(port.ComNumber(), 1);
  EXPECT_TRUE(port.Open());
  port.SetOpen(false);
  port.SetComNumber(0);
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* form = dynamic_cast<TComSelectForm*>(w)) form->AbortBtn->click();
    }
  });
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  SetPortSelector(nullptr);
}

}  // namespace
