#include "datamodel/SaveITNewItems.h"

#include "datafile/QORClassIdentity.h"
#include "datamodel/Series_C.h"
#include "platform/files.h"

// ---------------------------------------------------------------------------
// TParameterSerie

TParameterSerie::TParameterSerie()
    : parameter_info_(std::make_unique<TUniqueParameterInformation>()) {}

TParameterSerie::~TParameterSerie() = default;

void TParameterSerie::SetSerie(std::unique_ptr<TSerie> serie) {
  serie_ = std::move(serie);
}

std::unique_ptr<TSerie> TParameterSerie::TakeSerie() {
  return std::move(serie_);
}

void TParameterSerie::AssignTo(TPersistent& dest) const {
  auto* target = dynamic_cast<TParameterSerie*>(&dest);
  if (!target) return TPersistent::AssignTo(dest);
  target->Index = Index;
  target->Unit = Unit;
  target->ParameterInfo().Assign(*parameter_info_);
}

std::unique_ptr<TParameterSerie> TParameterSerie::CopyDefinition() const {
  auto copy = std::make_unique<TParameterSerie>();
  copy->Assign(*this);
  return copy;
}

// ---------------------------------------------------------------------------
// TRichTextObject

TRichTextObject::TRichTextObject() : content_(std::make_unique<platform::MemoryStream>()) {}

TRichTextObject::~TRichTextObject() = default;

void TRichTextObject::SetFileName(const std::string& file_name) {
  file_name_ = file_name;
  if (file_name.empty() || !platform::FileExists(file_name)) return;
  // The whole content is replaced: bytes of an earlier, longer text must not
  // trail behind a shorter one.
  platform::MemoryStream loaded;
  loaded.LoadFromFile(file_name);
  content_->Clear();
  content_->WriteBuffer(loaded.Memory(), loaded.Size());
  content_->SetPosition(0);
}

void TRichTextObject::AssignTo(TPersistent& dest) const {
  auto* target = dynamic_cast<TRichTextObject*>(&dest);
  if (!target) return TPersistent::AssignTo(dest);
  target->SetFileName(file_name_);
  target->content_->Clear();
  target->content_->WriteBuffer(content_->Memory(), content_->Size());
  target->content_->SetPosition(0);
}

// ---------------------------------------------------------------------------
// TPlotTemplate

TPlotTemplate::TPlotTemplate() : settings_(std::make_unique<TPlotSettings>()) {}

TPlotTemplate::~TPlotTemplate() = default;
