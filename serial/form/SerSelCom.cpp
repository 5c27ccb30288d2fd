#include "serial/form/SerSelCom.h"

#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "serial/SerPort.h"
#include "serial/SerWin32.h"

TComSelectForm::TComSelectForm(QWidget* parent) : QDialog(parent) {
  setObjectName("ComSelectForm");
  setWindowTitle("Select Port");
  // A dialog border with only the system menu.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(220, 131);
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  setFont(font);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setGeometry(8, 8, 201, 42);
  Label1 = new QLabel("The configured serial port is not valid.", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(18, 14, 176, 13);
  Label2 = new QLabel("Please choose another port.", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(18, 30, 133, 13);
  PortsComboBox = new QComboBox(this);
  PortsComboBox->setObjectName("PortsComboBox");
  PortsComboBox->setEditable(false);
  PortsComboBox->setGeometry(8, 64, 201, 21);
  OkBtn = new QPushButton("OK", this);
  OkBtn->setObjectName("OkBtn");
  OkBtn->setGeometry(8, 95, 85, 27);
  OkBtn->setDefault(true);
  AbortBtn = new QPushButton("Cancel", this);
  AbortBtn->setObjectName("AbortBtn");
  AbortBtn->setGeometry(124, 95, 85, 27);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(AbortBtn, &QPushButton::clicked, this, &QDialog::reject);
  FormCreate();
}

void TComSelectForm::FormCreate() {
  PortsComboBox->clear();
  for (int n : ProbeComPorts())
    PortsComboBox->addItem(QString("COM%1").arg(n));
  if (PortsComboBox->count() > 0) PortsComboBox->setCurrentIndex(0);
}

std::optional<int> TComSelectForm::SelectedPort() const {
  if (PortsComboBox->currentIndex() < 0) return std::nullopt;
  bool ok = false;
  const int n = PortsComboBox->currentText().mid(3).toInt(&ok);
  if (!ok || n <= 0) return std::nullopt;
  return n;
}

void RegisterComSelectForm() {
  SetPortSelector([]() -> std::optional<int> {
    TComSelectForm form;
    form.setWindowModality(Qt::ApplicationModal);
    if (form.exec() != QDialog::Accepted) return std::nullopt;
    return form.SelectedPort();
  });
}
