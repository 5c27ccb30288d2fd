// Gasmimic's window as it first shows, on the offscreen platform: written as a PNG
// under the build tree (screenshots/gasmimic.png) for a person to look at, and
// checked for its controls, their captions and their initial values (not pixels).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <map>
#include <string>
#include <vector>

#include "simulator/Unit1Message.h"
#include "simulator/tests/window_fixture.h"

namespace simulator_test {
namespace {

using platform::qt::TControl;

std::string TitleOf(TControl* control) {
  return static_cast<QGroupBox*>(control->Widget())->title().toStdString();
}

class ScreenshotTest : public WindowTest {};

TEST_F(ScreenshotTest, TheWindowShowsEveryControlWithItsFirstValues) {
  form->show();
  const QPixmap shot = form->grab();
  ASSERT_FALSE(shot.isNull());
  ASSERT_TRUE(QDir().mkpath(QOR_SCREENSHOT_DIR));
  const QString file = QString(QOR_SCREENSHOT_DIR) + "/gasmimic.png";
  ASSERT_TRUE(shot.save(file, "PNG"));
  const QImage saved(file);
  EXPECT_EQ(saved.size(), form->size());
  EXPECT_EQ(form->size(), QSize(664, 520));

  // Every component, by name and class.
  const std::map<std::string, std::string> components = {
      {"gbParameters", "TGroupBox"},
      {"feFIO2", "TFloatEdit"},
      {"feCa", "TFloatEdit"},
      {"feCl", "TFloatEdit"},
      {"feK", "TFloatEdit"},
      {"feNa", "TFloatEdit"},
      {"fepH", "TFloatEdit"},
      {"fepO2", "TFloatEdit"},
      {"cboxKSSpecial", "TCheckBox"},
      {"gbComportSelection", "TGroupBox"},
      {"ComSel", "TComboBox"},
      {"gbDataInterval", "TGroupBox"},
      {"SpinEdit1", "TSpinEdit"},
      {"lblSeconds", "TLabel"},
      {"lblPatientID", "TLabel"},
      {"EditPatientID", "TEdit"},
      {"rgSpecimenType", "TRadioGroup"},
      {"rgSpecimenSource", "TRadioGroup"},
      {"cbCheckSumError", "TCheckBox"},
      {"Memo1", "TMemo"},
      {"Memo2", "TMemo"},
      {"Button1", "TButton"},
      {"Send", "TButton"},
      {"lblError", "TLabel"},
      {"ComPort", "TSerComPort"},
      {"ClientSocket1", "TClientSocket"},
      {"Timer1", "TTimer"},
      {"Timer2", "TTimer"},
  };
  for (const auto& [name, class_name] : components) {
    SCOPED_TRACE(name);
    platform::FormComponent* component = form->FindComponent(name);
    ASSERT_NE(component, nullptr);
    EXPECT_EQ(component->FormClassName(), class_name);
  }

  EXPECT_EQ(form->Caption(), "RadioMeter ABL 625 (Ver 1.1)");
  EXPECT_EQ(TitleOf(form->Find<TControl>("gbParameters")), "Parameters");
  EXPECT_EQ(TitleOf(form->Find<TControl>("gbComportSelection")), "Comport selection");
  EXPECT_EQ(TitleOf(form->Find<TControl>("gbDataInterval")), "Data Interval");

  // The values with their labels, each inside "Parameters": label, field, unit.
  struct Parameter {
    TFloatEdit* field;
    std::string label, value, unit;
  };
  const Parameter parameters[] = {
      {form->feFIO2, "FIO2", "21", "%"},    {form->feCa, "Ca++", "1.24", "mmol/L"},
      {form->feCl, "Cl-", "97", "mmol/L"},  {form->feK, "K+", "3.9", "mmol/L"},
      {form->feNa, "Na+", "143", "mmol/L"}, {form->fepH, "pH", "7.62", ""},
      {form->fepO2, "pO2", "41.2", "mmHg"},
  };
  QWidget* group = form->Find<TControl>("gbParameters")->Widget();
  for (const Parameter& p : parameters) {
    SCOPED_TRACE(p.label);
    EXPECT_EQ(p.field->Text(), p.value);
    EXPECT_EQ(p.field->Widget()->parentWidget(), group);
    std::vector<std::string> beside;  // the labels on the field's row, left to right
    std::map<int, std::string> row;
    for (QLabel* label : group->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
      const QRect r = label->geometry();
      if (r.bottom() >= p.field->Widget()->y() && r.top() <= p.field->Widget()->geometry().bottom())
        row[r.x()] = label->text().toStdString();
    }
    for (const auto& [x, text] : row)
      beside.push_back(text);
    if (p.unit.empty()) {
      EXPECT_EQ(beside, (std::vector<std::string>{p.label}));
    } else {
      EXPECT_EQ(beside, (std::vector<std::string>{p.label, p.unit}));
    }
  }

  EXPECT_EQ(static_cast<QCheckBox*>(form->cboxKSSpecial->Widget())->text(), "KS Special");
  EXPECT_FALSE(form->cboxKSSpecial->Checked());
  EXPECT_EQ(static_cast<QCheckBox*>(form->cbCheckSumError->Widget())->text(), "Single CS Error");
  EXPECT_FALSE(form->cbCheckSumError->Checked());

  std::vector<std::string> entries{"Disabled"};
  for (int n = 1; n <= 16; ++n)
    entries.push_back("COM" + std::to_string(n));
  entries.push_back("Network");
  EXPECT_EQ(form->ComSel->Items(), entries);
  EXPECT_EQ(form->ComSel->ItemIndex(), 0);
  EXPECT_EQ(form->ComSel->Text(), "Disabled");

  EXPECT_EQ(form->SpinEdit1->Value(), 60);
  EXPECT_EQ(static_cast<QSpinBox*>(form->SpinEdit1->Widget())->minimum(), 1);
  EXPECT_EQ(form->Find<platform::qt::TLabel>("lblSeconds")->Caption(), "seconds");
  EXPECT_EQ(form->Find<platform::qt::TLabel>("lblPatientID")->Caption(), "Patient ID");
  EXPECT_EQ(form->EditPatientID->Text(), "1");

  EXPECT_EQ(TitleOf(form->rgSpecimenType), "Specimen Type");
  EXPECT_EQ(form->rgSpecimenType->Items(),
            (std::vector<std::string>{"None", "Blood", "Gas", "Urine"}));
  EXPECT_EQ(form->rgSpecimenType->ItemIndex(), 1);
  EXPECT_EQ(TitleOf(form->rgSpecimenSource), "Specimen Source");
  EXPECT_EQ(form->rgSpecimenSource->Items(),
            (std::vector<std::string>{"None", "Arterial", "Venous", "Capillary", "Mixed-Venous",
                                      "Not specified"}));
  EXPECT_EQ(form->rgSpecimenSource->ItemIndex(), 1);
  // Two columns: the first items stand left of the last ones.
  for (TControl* radio : {static_cast<TControl*>(form->rgSpecimenType),
                          static_cast<TControl*>(form->rgSpecimenSource)}) {
    const QList<QAbstractButton*> buttons = radio->Widget()->findChildren<QAbstractButton*>();
    ASSERT_GE(buttons.size(), 4);
    EXPECT_LT(buttons.front()->x(), buttons.back()->x());
    EXPECT_TRUE(buttons[1]->isChecked());
  }

  EXPECT_EQ(form->Button1->Caption(), "Start");
  EXPECT_EQ(form->Send->Caption(), "Send");
  EXPECT_EQ(form->lblError->Caption(), "");

  EXPECT_EQ(form->Memo1->Lines(),
            (std::vector<std::string>{"1H|\\^&|||ABL SYSTEM 625^||||||||1|20010119155000"}));
  EXPECT_EQ(form->Memo2->Lines(), CannedMessage());

  // The components without a face.
  const TSerPortSettings& port = form->ComPort->Settings();
  EXPECT_EQ(port.baud, 9600);
  EXPECT_FALSE(port.prompt_for_port);
  EXPECT_EQ(port.buffer_full, 3072);
  EXPECT_EQ(port.buffer_resume, 1024);
  EXPECT_EQ(port.tapi_mode, tmOff);
  EXPECT_EQ(port.trace_name, "SER.TRC");
  EXPECT_EQ(port.log_name, "SER.LOG");
  EXPECT_EQ(form->ComPort->Port().ComNumber(), 0);
  EXPECT_FALSE(form->ComPort->Port().Open());
  EXPECT_EQ(form->ClientSocket1->Port(), 14000);
  EXPECT_EQ(form->CollectorPort(), 14000);
  EXPECT_FALSE(form->ClientSocket1->Active());
  EXPECT_FALSE(form->Timer1->Enabled());
  EXPECT_EQ(form->Timer1->Interval(), 60000u);
  EXPECT_TRUE(form->Timer2->Enabled());
  EXPECT_EQ(form->Timer2->Interval(), 3000u);
  EXPECT_FALSE(form->Connected());
}

// Every control lies inside its parent, overlaps none of its siblings, and is wide
// enough for its text, so that the resource's layout hides nothing.
TEST_F(ScreenshotTest, NoControlHidesAnother) {
  form->show();
  std::map<QWidget*, std::vector<TControl*>> by_parent;
  for (const auto& component : form->Components()) {
    if (auto* control = dynamic_cast<TControl*>(component.get()))
      by_parent[control->Widget()->parentWidget()].push_back(control);
  }
  for (const auto& [parent, controls] : by_parent) {
    for (size_t i = 0; i < controls.size(); ++i) {
      QWidget* w = controls[i]->Widget();
      SCOPED_TRACE(controls[i]->ComponentName());
      EXPECT_TRUE(parent->rect().contains(w->geometry())) << "outside its parent";
      for (size_t j = i + 1; j < controls.size(); ++j) {
        EXPECT_FALSE(w->geometry().intersects(controls[j]->Widget()->geometry()))
            << "overlaps " << controls[j]->ComponentName();
      }
      if (auto* label = qobject_cast<QLabel*>(w)) {
        EXPECT_LE(label->sizeHint().width(), w->width());
      } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        EXPECT_LE(button->sizeHint().width(), w->width());
      }
    }
  }
}

}  // namespace
}  // namespace simulator_test
