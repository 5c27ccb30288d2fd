#include "serial/form/SerSelCom.h"

#include <QEventLoop>
#include <QFrame>

#include "serial/SerPort.h"
#include "serial/SerWin32.h"

namespace {

constexpr int kModalOk = 1;
constexpr int kModalClosed = 2;
constexpr int kModalCancel = 3;

void RegisterBevel() {
  if (platform::qt::IsComponentClassRegistered("TBevel")) return;
  platform::qt::RegisterComponentClass(
      "TBevel", [](platform::qt::TForm* owner, QWidget* parent, const std::string& name) {
        return std::make_unique<TBevel>(owner, parent, name);
      });
}

}  // namespace

TBevel::TBevel(platform::qt::TForm* owner, QWidget* parent, std::string name)
    : TControl(owner, std::move(name), new QFrame(parent)) {
  auto* frame = static_cast<QFrame*>(Widget());
  frame->setFrameShape(QFrame::Box);
  frame->setFrameShadow(QFrame::Sunken);
}

void TBevel::DefineProperties(platform::PropertyList& list) {
  TControl::DefineProperties(list);
  platform::qt::AddIgnoredProperties(list, {"Shape", "Style"});
}

TComSelectForm::TComSelectForm(QWidget* parent) : TForm("TComSelectForm", parent) {
  RegisterBevel();
  RegisterMethod("FormCreate", platform::qt::TNotifyEvent([this](auto*) { FormCreate(); }));
  RegisterMethod("OkBtnClick", platform::qt::TNotifyEvent([this](auto*) { CloseWith(kModalOk); }));
  RegisterMethod("AbortBtnClick",
                 platform::qt::TNotifyEvent([this](auto*) { CloseWith(kModalCancel); }));
  OnHide = [this](auto*) {
    if (modal_result_ == 0) modal_result_ = kModalClosed;
    if (modal_loop_) modal_loop_->quit();
  };
  InitializeFromResources();
  FindControls();
}

void TComSelectForm::FindControls() {
  if (PortsComboBox) return;
  Label1 = Required<platform::qt::TLabel>("Label1");
  Label2 = Required<platform::qt::TLabel>("Label2");
  Bevel1 = Required<TBevel>("Bevel1");
  OkBtn = Required<platform::qt::TButton>("OkBtn");
  AbortBtn = Required<platform::qt::TButton>("AbortBtn");
  PortsComboBox = Required<platform::qt::TComboBox>("PortsComboBox");
}

TComSelectForm::~TComSelectForm() = default;

void TComSelectForm::FormCreate() {
  // OnCreate runs once the resource is read, before the constructor goes on.
  FindControls();
  std::vector<std::string> items;
  for (int n : ProbeComPorts())
    items.push_back("COM" + std::to_string(n));
  PortsComboBox->SetItems(items);
  if (!items.empty()) PortsComboBox->SetItemIndex(0);
}

std::optional<int> TComSelectForm::SelectedPort() const {
  if (PortsComboBox->ItemIndex() < 0) return std::nullopt;
  const std::string text = PortsComboBox->Text();
  if (text.size() <= 3) return std::nullopt;
  int n = 0;
  for (char c : text.substr(3)) {
    if (c < '0' || c > '9' || n > 100000) return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n <= 0) return std::nullopt;
  return n;
}

void TComSelectForm::CloseWith(int result) {
  modal_result_ = result;
  Close();
}

int TComSelectForm::ShowModal() {
  modal_result_ = 0;
  setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  modal_loop_ = &loop;
  show();
  if (isVisible()) loop.exec();
  modal_loop_ = nullptr;
  return modal_result_ == 0 ? kModalClosed : modal_result_;
}

void RegisterComSelectForm() {
  SetPortSelector([]() -> std::optional<int> {
    TComSelectForm form;
    if (form.ShowModal() != kModalOk) return std::nullopt;
    return form.SelectedPort();
  });
}
