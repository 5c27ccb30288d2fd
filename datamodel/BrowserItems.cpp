#include "datamodel/BrowserItems.h"

#include <algorithm>
#include <cctype>

#include "datafile/QORClassWriter.h"
#include "platform/file_attributes.h"
#include "platform/format_text.h"

namespace {

std::vector<TBrowseItemClass>& ClassList() {
  static std::vector<TBrowseItemClass> list;
  return list;
}

bool SameTextNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

template <typename T>
std::unique_ptr<TBrowseItem> Make() {
  return std::make_unique<T>();
}

template <typename T>
TBrowseItemClass ClassOf(std::string_view name) {
  return TBrowseItemClass{name, &Make<T>};
}

}  // namespace

// ---------------------------------------------------------------------------
// TBrowseItem

TBrowseItem::TBrowseItem()
    : parameter_info_(std::make_unique<TUniqueParameterInformation>()),
      patient_info_(std::make_unique<TUniquePatientInformation>()) {}

TBrowseItem::~TBrowseItem() {
  ClearChildren();
  if (parent_) {
    // Freed by somebody else than the parent: the parent must not keep the item.
    std::unique_ptr<TBrowseItem> self = parent_->RemoveChild(this);
    (void)self.release();
  }
}

TBrowseItem* TBrowseItem::AddChild(std::unique_ptr<TBrowseItem> child) {
  if (!child) return nullptr;
  if (child->parent_ && child->parent_ != this) {
    std::unique_ptr<TBrowseItem> moved = child->parent_->RemoveChild(child.get());
    (void)moved.release();  // Child already holds the item
  }
  child->parent_ = this;
  children_.push_back(std::move(child));
  return children_.back().get();
}

std::unique_ptr<TBrowseItem> TBrowseItem::RemoveChild(const TBrowseItem* child) {
  const auto it = std::find_if(children_.begin(), children_.end(),
                               [child](const auto& c) { return c.get() == child; });
  if (it == children_.end()) return nullptr;
  std::unique_ptr<TBrowseItem> removed = std::move(*it);
  children_.erase(it);
  removed->parent_ = nullptr;
  return removed;
}

void TBrowseItem::ClearChildren() {
  while (!children_.empty()) {
    std::unique_ptr<TBrowseItem> child = std::move(children_.front());
    children_.erase(children_.begin());
    child->parent_ = nullptr;
  }
}

void TBrowseItem::AssignTo(TPersistent& dest) const {
  auto* item = dynamic_cast<TBrowseItem*>(&dest);
  if (!item) {
    TPersistIt::AssignTo(dest);
    return;
  }
  item->Name = Name;
  item->IsContainer = IsContainer;
  item->Extra2 = Extra2;
  item->Extra1 = Extra1;
  item->patient_info_->Assign(*patient_info_);
  item->parameter_info_->Assign(*parameter_info_);
  item->Extra3 = Extra3;
}

bool TBrowseItem::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  WriteFields(writer);
  return writer.EndFolding();
}

void TBrowseItem::WriteFields(TVistaWriter& writer) const {
  patient_info_->WriteTo(writer);
  parameter_info_->WriteTo(writer);
}

bool TBrowseItem::IsSame(const TBrowseItem& other) const {
  return Name == other.Name && IsContainer == other.IsContainer && Extra2 == other.Extra2 &&
         Extra1 == other.Extra1 && other.patient_info_->IsSame(*patient_info_) &&
         other.parameter_info_->IsSame(*parameter_info_) && Extra3 == other.Extra3;
}

void TBrowseItem::AddSubObject(std::unique_ptr<TObject> object) {
  if (auto* item = dynamic_cast<TBrowseItem*>(object.get())) {
    object.release();
    AddChild(std::unique_ptr<TBrowseItem>(item));
  } else if (auto* patient = dynamic_cast<TUniquePatientInformation*>(object.get())) {
    object.release();
    patient_info_.reset(patient);
  } else if (auto* parameter = dynamic_cast<TUniqueParameterInformation*>(object.get())) {
    object.release();
    parameter_info_.reset(parameter);
  }
}

std::unique_ptr<TObject> TBrowseItem::CreateEmpty() const {
  return std::make_unique<TBrowseItem>();
}

std::unique_ptr<TBrowseItem> TBrowseItem::Clone() const {
  std::unique_ptr<TObject> empty = CreateEmpty();
  auto* item = dynamic_cast<TBrowseItem*>(empty.get());
  if (!item) return nullptr;
  empty.release();
  std::unique_ptr<TBrowseItem> copy(item);
  copy->Assign(*this);
  return copy;
}

void TBrowseItem::RegisterItemClass(const TBrowseItemClass& item_class) {
  ClassList().push_back(item_class);
}

const std::vector<TBrowseItemClass>& TBrowseItem::ItemClasses() {
  return ClassList();
}

// ---------------------------------------------------------------------------
// Virtual data and disc items

void TCalculatedParameter::AssignTo(TPersistent& dest) const {
  TBrowseItem::AssignTo(dest);
  if (auto* item = dynamic_cast<TCalculatedParameter*>(&dest)) {
    item->CalcText = CalcText;
    item->CalcRef = CalcRef;
  }
}

bool TCalculatedParameter::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TCalculatedParameter*>(&other);
  return item && CalcRef == item->CalcRef && SameTextNoCase(CalcText, item->CalcText) &&
         TBrowseItem::IsSame(other);
}

void TDiscBrowseItem::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TDiscBrowseItem*>(&dest)) {
    item->DiscExtra1 = DiscExtra1;
    item->PatientPrefix = PatientPrefix;
    item->DiscExtra2 = DiscExtra2;
    item->DiscExtra3 = DiscExtra3;
    item->FileName = FileName;
    item->DiscExtra4 = DiscExtra4;
    item->Directory = Directory;
  }
  TBrowseItem::AssignTo(dest);
}

bool TDiscBrowseItem::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TDiscBrowseItem*>(&other);
  return item && DiscExtra1 == item->DiscExtra1 && PatientPrefix == item->PatientPrefix &&
         DiscExtra2 == item->DiscExtra2 && DiscExtra3 == item->DiscExtra3 &&
         FileName == item->FileName && DiscExtra4 == item->DiscExtra4 &&
         Directory == item->Directory && TBrowseItem::IsSame(other);
}

std::string TDiscBrowseItem::FileNameWithoutExtension() const {
  const size_t dot = FileName.find_last_of('.');
  // A dot inside a folder name of the file's path is no extension.
  const size_t separator = FileName.find_last_of("\\/:");
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
    return FileName;
  return FileName.substr(0, dot);
}

bool TDiscBrowseItem::IsWritablePath(const std::string& path) {
  const std::optional<platform::FileAttributes> attributes = platform::GetFileAttributes(path);
  return attributes && !attributes->read_only;
}

// ---------------------------------------------------------------------------
// Variables

bool TVariable::IsSame(const TBrowseItem& other) const {
  return dynamic_cast<const TVariable*>(&other) && TDiscBrowseItem::IsSame(other);
}

std::string TVariable::VariableCaption() const {
  const TUniqueParameterInformation& info = ParameterInfo();
  return PatientPrefix + " " + GetPatientName() + " " + info.DisplayName() + " " +
         info.ParamExtraName() + info.MeasurementPlace();
}

std::string TVariable::GetCaption() const {
  return VariableCaption();
}

std::string TVariable::GetLongCaption() const {
  std::string caption = GetCaption();
  if (PatientInfo().Registered) {
    caption = platform::Format(platform::LoadResString(SRegisteredPatient),
                               {PatientInfo().RegisteredNo}) +
              caption;
  }
  return caption;
}

bool TSingleFileVariable::IsWritable() const {
  return IsWritablePath(Directory + FileName);
}

void TMultipleFileVariable::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TMultipleFileVariable*>(&dest)) item->FileNames = FileNames;
  TVariable::AssignTo(dest);
}

// ---------------------------------------------------------------------------
// Groups

std::string TFolder::GetCaption() const {
  std::string dir = Directory;
  while (!dir.empty() && IsSeparator(dir.back()))
    dir.pop_back();
  const size_t separator = dir.find_last_of("\\/");
  return separator == std::string::npos ? dir : dir.substr(separator + 1);
}

bool TFolder::IsWritable() const {
  return IsWritablePath(Directory);
}

std::string TOnlinePatients::GetCaption() const {
  return platform::LoadResString(SKorvetOnline);
}

std::string TKorvetDataBase::GetCaption() const {
  return platform::LoadResString(SKorvetDatabase);
}

void TPatientLocation::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TPatientLocation*>(&dest)) {
    item->LocationFlag = LocationFlag;
    item->LocationName = LocationName;
  }
  TGroup::AssignTo(dest);
}

bool TPatientLocation::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TPatientLocation*>(&other);
  return item && LocationName == item->LocationName && LocationFlag == item->LocationFlag &&
         TDiscBrowseItem::IsSame(other);
}

void TMonitorDataGroup::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TMonitorDataGroup*>(&dest)) {
    item->MonitorName = MonitorName;
    item->MonitorExtra1 = MonitorExtra1;
    item->MonitorExtra2 = MonitorExtra2;
  }
  TGroup::AssignTo(dest);
}

bool TMonitorDataGroup::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TMonitorDataGroup*>(&other);
  return item && MonitorExtra1 == item->MonitorExtra1 && MonitorName == item->MonitorName &&
         MonitorExtra2 == item->MonitorExtra2 && TDiscBrowseItem::IsSame(other);
}

std::string TMonitorDataGroup::GetCaption() const {
  return MonitorName + " (" + MonitorExtra2 + ")";
}

std::string TPatient::GetRegisteredText() const {
  return PatientInfo().Registered ? RegisteredText : std::string();
}

void TPatient::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TPatient*>(&dest)) {
    item->Marker = Marker;
    item->CaptionOverride = CaptionOverride;
    item->RegisteredText = RegisteredText;
    item->PatientFlags = PatientFlags;
  }
  TGroup::AssignTo(dest);
}

bool TPatient::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TPatient*>(&other);
  return item && CaptionOverride == item->CaptionOverride &&
         GetRegisteredNo() == item->GetRegisteredNo() && Marker == item->Marker &&
         GetRegisteredText() == item->GetRegisteredText() && TDiscBrowseItem::IsSame(other);
}

std::string TPatient::GetCaption() const {
  if (!CaptionOverride.empty()) return CaptionOverride;
  const std::string registered = GetRegisteredText();
  if (!registered.empty()) {
    return platform::Trim(
        platform::Format("[%s]   %s %s", {registered, PatientPrefix, GetPatientName()}));
  }
  return platform::Trim(platform::Format("%s %s", {PatientPrefix, GetPatientName()}));
}

int32_t TPatient::ImageIndex() const {
  int32_t image = 1;
  if (PatientFlags & 0x01) {
    const bool flagged = (PatientFlags & 0x02) != 0;
    switch (GetRegisteredNo()) {
      case 1:
        image = flagged ? 19 : 18;
        break;
      case 2:
        image = flagged ? 21 : 20;
        break;
      case 3:
        image = flagged ? 23 : 22;
        break;
      default:
        image = flagged ? 2 : 1;
        break;
    }
  }
  if (!GetRegisteredText().empty()) image = 3;
  return image;
}

void TCatheter::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TCatheter*>(&dest)) item->CatheterNo = CatheterNo;
  TParameterGroup::AssignTo(dest);
}

bool TCatheter::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TCatheter*>(&other);
  return item && CatheterNo == item->CatheterNo && TDiscBrowseItem::IsSame(other);
}

// ---------------------------------------------------------------------------
// Parts of files and files

void TFluvantronicsData::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TFluvantronicsData*>(&dest)) item->DataNo = DataNo;
  TPartOfFileVariable::AssignTo(dest);
}

bool TFluvantronicsData::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TFluvantronicsData*>(&other);
  return item && DataNo == item->DataNo && TVariable::IsSame(other);
}

std::string TFluvantronicsData::GetLongCaption() const {
  if (dynamic_cast<const TDiscBrowseItem*>(Parent())) {
    std::string caption = ParameterInfo().DisplayName() + " " + Parent()->GetCaption();
    if (const TBrowseItem* grandparent = Parent()->Parent())
      caption += " " + grandparent->GetCaption();
    return caption;
  }
  return PatientInfo().Registered ? VariableCaption() : std::string();
}

void TSavedSeriesInPlot::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TSavedSeriesInPlot*>(&dest)) {
    item->PlotSerieFlag = PlotSerieFlag;
    item->PlotSerieNo = PlotSerieNo;
  }
  TPartOfFileVariable::AssignTo(dest);
}

bool TSavedSeriesInPlot::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TSavedSeriesInPlot*>(&other);
  return item && PlotSerieFlag == item->PlotSerieFlag && PlotSerieNo == item->PlotSerieNo &&
         TVariable::IsSame(other);
}

void TSavedSerie::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TSavedSerie*>(&dest)) item->SavedSerieFlag = SavedSerieFlag;
  TSingleFileVariable::AssignTo(dest);
}

bool TSavedSerie::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TSavedSerie*>(&other);
  return item && SavedSerieFlag == item->SavedSerieFlag && TVariable::IsSame(other);
}

bool TSavedSerie::IsEditable() const {
  return IsWritablePath(Directory + FileName);
}

std::string TSingleEventSerie::GetCaption() const {
  if (!(GetPatientName() + PatientPrefix).empty()) return platform::LoadResString(SEvents);
  return FileNameWithoutExtension();
}

std::string TSingleEventSerie::GetLongCaption() const {
  return platform::Format(platform::LoadResString(SEventsOf), {PatientPrefix, GetPatientName()});
}

bool TSingleEventSerie::IsEditable() const {
  return IsWritablePath(Directory + FileName);
}

TVideoVariable::TVideoVariable() {
  ParameterInfo().SetParameterName(platform::LoadResString(SVideo));
}

void TVideoVariable::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TVideoVariable*>(&dest)) item->VideoText = VideoText;
  TMultipleFileVariable::AssignTo(dest);
}

bool TVideoVariable::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TVideoVariable*>(&other);
  return item && VideoText == item->VideoText && TMultipleFileVariable::IsSame(other);
}

bool TImageFile::IsEditable() const {
  return IsWritablePath(Directory + FileName);
}

void TDrugDoseVariable::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TDrugDoseVariable*>(&dest)) {
    item->DoseUnit = DoseUnit;
    item->DoseName = DoseName;
  }
  TSingleFileVariable::AssignTo(dest);
}

bool TDrugDoseVariable::IsSame(const TBrowseItem& other) const {
  const auto* item = dynamic_cast<const TDrugDoseVariable*>(&other);
  return item && DoseName == item->DoseName && DoseUnit == item->DoseUnit &&
         TVariable::IsSame(other);
}

std::string TDrugDoseVariable::GetCaption() const {
  std::string caption = DoseName;
  if (!DoseUnit.empty()) caption += " (" + DoseUnit + ")";
  return caption.empty() ? Name : caption;
}

void TUnknownFile::AssignTo(TPersistent& dest) const {
  if (auto* item = dynamic_cast<TUnknownFile*>(&dest)) item->ImageNumber = ImageNumber;
  TSingleFileVariable::AssignTo(dest);
}

bool TRichTextFile::IsEditable() const {
  return IsWritablePath(Directory + FileName);
}

// ---------------------------------------------------------------------------

void RegisterBrowseItemClasses() {
  static const bool registered = [] {
    const TBrowseItemClass classes[] = {
        ClassOf<TVirtualData>("TVirtualData"),
        ClassOf<TCreatedData>("TCreatedData"),
        ClassOf<TPastedData>("TPastedData"),
        ClassOf<TImportedData>("TImportedData"),
        ClassOf<TDiscBrowseItem>("TDiscBrowseItem"),
        ClassOf<TVariable>("TVariable"),
        ClassOf<TSingleFileVariable>("TSingleFileVariable"),
        ClassOf<TPartOfFileVariable>("TPartOfFileVariable"),
        ClassOf<TMultipleFileVariable>("TMultipleFileVariable"),
        ClassOf<TGroup>("TGroup"),
        ClassOf<TFolder>("TFolder"),
        ClassOf<TTopFolder>("TTopFolder"),
        ClassOf<TOnlinePatients>("TOnlinePatients"),
        ClassOf<TKorvetDataBase>("TKorvetDataBase"),
        ClassOf<TPatientLocation>("TPatientLocation"),
        ClassOf<TMonitorDataGroup>("TMonitorDataGroup"),
        ClassOf<TDrugDoseGroup>("TDrugDoseGroup"),
        ClassOf<TPatient>("TPatient"),
        ClassOf<TParameterGroup>("TParameterGroup"),
        ClassOf<TCatheter>("TCatheter"),
        ClassOf<TFluvantronicsData>("TFluvantronicsData"),
        ClassOf<TKorvetEventSerie>("TKorvetEventSerie"),
        ClassOf<TExternalParameter>("TExternalParameter"),
        ClassOf<TSavedSeriesInPlot>("TSavedSeriesInPlot"),
        ClassOf<TSavedCommentInPlot>("TSavedCommentInPlot"),
        ClassOf<TSavedPlot>("TSavedPlot"),
        ClassOf<TSavedSerie>("TSavedSerie"),
        ClassOf<TSingleEventSerie>("TSingleEventSerie"),
        ClassOf<TVideoVariable>("TVideoVariable"),
        ClassOf<TImageFile>("TImageFile"),
        ClassOf<TDrugDoseVariable>("TDrugDoseVariable"),
        ClassOf<TUnknownFile>("TUnknownFile"),
        ClassOf<TRichTextFile>("TRichTextFile"),
        ClassOf<TCalculatedParameter>("TCalculatedParameter"),
    };
    for (const TBrowseItemClass& item_class : classes)
      TBrowseItem::RegisterItemClass(item_class);
    return true;
  }();
  (void)registered;
}
