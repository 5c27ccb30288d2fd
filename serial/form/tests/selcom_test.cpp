#include "serial/form/SerSelCom.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/comm.h"
#include "platform/qt/resources_qt.h"
#include "platform/resources.h"
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
  static bool installed = (platform::qt::InstallQtResources(), true);
  (void)installed;
  return *app;
}

// A language module holding only the port-selection form, translated: the
// program's own resource with its texts replaced.
class Translation : public platform::ResourceModule {
 public:
  Translation() {
    form_ = platform::ProgramResources()->FindData("TComSelectForm").value();
    const std::pair<std::string, std::string> texts[] = {
        {"'Select Port'", "'Port w'#228'hlen'"},
        {"'The configured serial port is not valid.'", "'Der Port ist ung'#252'ltig.'"},
        {"'Cancel'", "'Abbrechen'"}};
    for (const auto& [own, translated] : texts) {
      const size_t at = form_.find(own);
      EXPECT_NE(at, std::string::npos) << own;
      if (at != std::string::npos) form_.replace(at, own.size(), translated);
    }
  }
  std::optional<std::string> FindString(std::string_view) const override { return std::nullopt; }
  std::optional<std::string> FindData(std::string_view name) const override {
    if (name != "TComSelectForm") return std::nullopt;
    return form_;
  }

 private:
  std::string form_;
};

// Ports 1 and 3 present (3 held by another program), every other number absent.
class SelComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    first = &ports.Add(1);
    ports.Add(3);
    for (int n = 2; n <= 51; ++n) {
      if (n != 3) ports.Link(n, ports.path() + "/absent");
    }
    int error = 0;
    holder = platform::CommDevice::Open(platform::ResolveComPort("COM3"), &error);
    ASSERT_NE(holder, nullptr);
  }
  platform_test::ComPorts ports;
  platform_test::Pty* first = nullptr;
  std::unique_ptr<platform::CommDevice> holder;
};

TEST_F(SelComTest, ListsPresentAndHeldPortsAndSelectsTheFirst) {
  TComSelectForm form;
  EXPECT_EQ(form.windowTitle(), "Select Port");
  EXPECT_EQ(form.size(), QSize(220, 131));
  EXPECT_EQ(form.Label1->Caption(), "The configured serial port is not valid.");
  EXPECT_EQ(form.Label2->Caption(), "Please choose another port.");
  EXPECT_EQ(form.OkBtn->Caption(), "OK");
  EXPECT_TRUE(static_cast<QPushButton*>(form.OkBtn->Widget())->isDefault());
  EXPECT_EQ(form.AbortBtn->Caption(), "Cancel");
  EXPECT_EQ(form.PortsComboBox->BoundsRect().Width(), 201);
  EXPECT_EQ(form.Bevel1->BoundsRect().Height(), 42);
  EXPECT_EQ(form.PortsComboBox->Items(), (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_EQ(form.SelectedPort(), 1);
  form.PortsComboBox->SetItemIndex(1);
  EXPECT_EQ(form.SelectedPort(), 3);
}

TEST_F(SelComTest, DrawingTheListLeavesEachPortsLineAsItsHolderSetIt) {
  // COM1's holder takes no lock file and keeps its line cooked, as `stty sane`
  // leaves it.
  first->Cook();
  const std::string line = first->Settings();
  TComSelectForm form;
  EXPECT_EQ(form.PortsComboBox->Items(), (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_EQ(first->Settings(), line);
}

TEST_F(SelComTest, ALanguageModuleTranslatesTheForm) {
  platform::SetResourceModule(std::make_unique<Translation>());
  struct Unload {
    ~Unload() { platform::SetResourceModule(nullptr); }
  } unload;
  TComSelectForm form;
  EXPECT_EQ(form.Caption(), "Port w\xE4hlen");
  EXPECT_EQ(form.Label1->Caption(), "Der Port ist ung\xFCltig.");
  EXPECT_EQ(form.AbortBtn->Caption(), "Abbrechen");
  // What the module lacks stays the program's own.
  EXPECT_EQ(form.Label2->Caption(), "Please choose another port.");
  EXPECT_EQ(form.OkBtn->Caption(), "OK");
  EXPECT_EQ(form.SelectedPort(), 1);
}

TEST_F(SelComTest, EmptyListGivesNoNumber) {
  TComSelectForm form;
  form.PortsComboBox->SetItems({});
  EXPECT_EQ(form.SelectedPort(), std::nullopt);
}

TEST_F(SelComTest, PortComponentOpensThePortChosenInTheForm) {
  RegisterComSelectForm();
  TSerComPort port(nullptr);
  // Confirms the dialog as soon as it shows.
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* form = dynamic_cast<TComSelectForm*>(w)) form->OkBtn->Click();
    }
  });
  port.SetOpen(true);
  EXPECT_EQ(port.ComNumber(), 1);
  EXPECT_TRUE(port.Open());
  port.SetOpen(false);
  port.SetComNumber(0);
  QTimer::singleShot(0, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* form = dynamic_cast<TComSelectForm*>(w)) form->AbortBtn->Click();
    }
  });
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  SetPortSelector(nullptr);
}

}  // namespace
