#include "datamodel/CareEvents.h"

#include <algorithm>
#include <typeinfo>

#include "datafile/QORClassParser.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datamodel/CareEventsItems.h"
#include "datamodel/CareEventsSeries.h"
#include "datamodel/CareEventsVisualizers.h"
#include "datamodel/RecordTags.h"
#include "platform/exception.h"

namespace {

// Takes Object as a T when it is one; otherwise Object stays where it is.
template <typename T>
std::unique_ptr<T> TakeAs(std::unique_ptr<TObject>& object) {
  auto* typed = dynamic_cast<T*>(object.get());
  if (!typed) return nullptr;
  object.release();
  return std::unique_ptr<T>(typed);
}

[[noreturn]] void IndexError(int32_t index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

// ---------------------------------------------------------------------------
// Care events

void TAbstractCareEvent::AssignTo(TPersistent& dest) const {
  auto* event = dynamic_cast<TAbstractCareEvent*>(&dest);
  if (!event) return;
  event->Name = Name;
  event->Caption = Caption;
}

void TAbstractCareEvent::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case record_tag::kCareEventName:
      Name = reader.ReadStringField();
      return;
    case record_tag::kCareEventCaption:
      Caption = reader.ReadStringField();
      return;
    default:
      reader.SkipField();
  }
}

bool TAbstractCareEvent::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  WriteFields(writer);
  return writer.EndFolding();
}

void TAbstractCareEvent::WriteFields(TVistaWriter& writer) const {
  writer.WriteStringField(record_tag::kCareEventName, Name);
  writer.WriteStringField(record_tag::kCareEventCaption, Caption);
}

bool TAbstractCareEvent::Equals(const TAbstractCareEvent& other) const {
  return typeid(*this) == typeid(other) && Name == other.Name && Caption == other.Caption;
}

void TValueCareEvent::AssignTo(TPersistent& dest) const {
  TAbstractCareEvent::AssignTo(dest);
  if (auto* event = dynamic_cast<TValueCareEvent*>(&dest)) event->Value = Value;
}

bool TValueCareEvent::Equals(const TAbstractCareEvent& other) const {
  return TAbstractCareEvent::Equals(other) &&
         static_cast<const TValueCareEvent&>(other).Value == Value;
}

void TTextEvent::AssignTo(TPersistent& dest) const {
  TAbstractCareEvent::AssignTo(dest);
  if (auto* event = dynamic_cast<TTextEvent*>(&dest)) event->Text = Text;
}

bool TTextEvent::Equals(const TAbstractCareEvent& other) const {
  return TAbstractCareEvent::Equals(other) && static_cast<const TTextEvent&>(other).Text == Text;
}

// ---------------------------------------------------------------------------
// TCareEventSet

TAbstractCareEvent* TCareEventSet::Add(std::unique_ptr<TAbstractCareEvent> event) {
  events_.push_back(std::move(event));
  return events_.back().get();
}

const TAbstractCareEvent& TCareEventSet::Event(int32_t index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return *events_[static_cast<size_t>(index)];
}

void TCareEventSet::AssignTo(TPersistent& dest) const {
  auto* set = dynamic_cast<TCareEventSet*>(&dest);
  if (!set) {
    TPersistIt::AssignTo(dest);
    return;
  }
  // Counted first: a set assigned to itself gets each event once more.
  const size_t count = events_.size();
  for (size_t i = 0; i < count; ++i) {
    std::unique_ptr<TObject> empty = events_[i]->CreateEmpty();
    std::unique_ptr<TAbstractCareEvent> copy = TakeAs<TAbstractCareEvent>(empty);
    if (!copy) continue;
    copy->Assign(*events_[i]);
    set->Add(std::move(copy));
  }
}

void TCareEventSet::AddSubObject(std::unique_ptr<TObject> object) {
  if (auto event = TakeAs<TAbstractCareEvent>(object)) Add(std::move(event));
}

std::unique_ptr<TObject> TCareEventSet::CreateEmpty() const {
  return std::make_unique<TCareEventSet>();
}

void TCareEventSet::ReadField(int32_t, TVistaReader& reader) {
  reader.SkipField();
}

bool TCareEventSet::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(kCareEventSetRecord);
  for (const auto& event : events_)
    event->WriteTo(writer);
  return writer.EndFolding();
}

bool TCareEventSet::Equals(const TCareEventSet& other) const {
  if (other.events_.size() != events_.size()) return false;
  for (size_t i = 0; i < events_.size(); ++i)
    if (!events_[i]->Equals(*other.events_[i])) return false;
  return true;
}

// ---------------------------------------------------------------------------
// TTreatmentTarget

void TTreatmentTarget::AssignTo(TPersistent& dest) const {
  if (auto* target = dynamic_cast<TTreatmentTarget*>(&dest)) target->Text = Text;
}

bool TTreatmentTarget::Equals(const TTreatmentTarget& other) const {
  return typeid(*this) == typeid(other) && Text == other.Text;
}

std::unique_ptr<TObject> TTreatmentTarget::CreateEmpty() const {
  return std::make_unique<TTreatmentTarget>();
}

void TTreatmentTarget::ReadField(int32_t, TVistaReader& reader) {
  reader.SkipField();
}

// ---------------------------------------------------------------------------
// TCategory

TCategory::TCategory(TCareEventSet* event_set) : EventSet(event_set) {}

TCategory::~TCategory() = default;

const std::string* TCategory::ValueCaption(int32_t value) const {
  if (!EventSet) return nullptr;
  return &EventSet->Event(value).Caption;
}

void TCategory::AssignTo(TPersistent& dest) const {
  auto* category = dynamic_cast<TCategory*>(&dest);
  if (!category) {
    TPersistIt::AssignTo(dest);
    return;
  }
  category->Code = Code;
  category->Name = Name;
  category->Description = Description;
  category->Composite = Composite;
  category->Momentary = Momentary;
}

void TCategory::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case record_tag::kCareCategoryName:
      Name = reader.ReadStringField();
      return;
    case record_tag::kCareCategoryDescription:
      Description = reader.ReadStringField();
      return;
    case record_tag::kCareCategoryMomentary:
      Momentary = reader.ReadByteField() != 0;
      return;
    default:
      reader.SkipField();
  }
}

bool TCategory::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  WriteFields(writer);
  return writer.EndFolding();
}

void TCategory::WriteFields(TVistaWriter& writer) const {
  writer.WriteStringField(record_tag::kCareCategoryName, Name);
  writer.WriteStringField(record_tag::kCareCategoryDescription, Description);
  writer.WriteByteField(record_tag::kCareCategoryMomentary, Momentary ? 1 : 0);
  if (EventSet) EventSet->WriteTo(writer);
  if (Visualizer) Visualizer->WriteTo(writer);
}

bool TCategory::Equals(const TCategory& other) const {
  if (Name != other.Name || Description != other.Description || Composite != other.Composite ||
      Momentary != other.Momentary)
    return false;
  static const TCareEventSet kNoEvents;
  const TCareEventSet& events = EventSet ? *EventSet : kNoEvents;
  const TCareEventSet& other_events = other.EventSet ? *other.EventSet : kNoEvents;
  if (!events.Equals(other_events)) return false;
  if (Targets.size() != other.Targets.size()) return false;
  for (const TTreatmentTarget* target : Targets) {
    if (!target) return false;
    const bool found =
        std::any_of(other.Targets.rbegin(), other.Targets.rend(),
                    [&](const TTreatmentTarget* o) { return o && target->Equals(*o); });
    if (!found) return false;
  }
  return true;
}

void TCategory::AddSubObject(std::unique_ptr<TObject> object) {
  if (auto* set = dynamic_cast<TCareEventSet*>(object.get())) {
    EventSet = set;
  } else if (auto* visualizer = dynamic_cast<TAbstractCategoryVisualizer*>(object.get())) {
    Visualizer = visualizer;
  } else if (auto* target = dynamic_cast<TTreatmentTarget*>(object.get())) {
    Targets.push_back(target);
  } else {
    return;
  }
  kept_.push_back(std::move(object));
}

std::unique_ptr<TObject> TCategory::CreateEmpty() const {
  return std::make_unique<TCategory>();
}

void TValueCategory::AssignTo(TPersistent& dest) const {
  TCategory::AssignTo(dest);
  if (auto* category = dynamic_cast<TValueCategory*>(&dest)) {
    category->ValueName = ValueName;
    category->ValueKind = ValueKind;
  }
}

bool TValueCategory::Equals(const TCategory& other) const {
  const auto* value_category = dynamic_cast<const TValueCategory*>(&other);
  return value_category && value_category->ValueKind == ValueKind &&
         value_category->ValueName == ValueName && TCategory::Equals(other);
}

std::unique_ptr<TObject> TValueCategory::CreateEmpty() const {
  return std::make_unique<TValueCategory>();
}

// ---------------------------------------------------------------------------
// Option items

void TAbstractOptionItem::AssignTo(TPersistent& dest) const {
  auto* item = dynamic_cast<TAbstractOptionItem*>(&dest);
  if (!item) {
    TPersistIt::AssignTo(dest);
    return;
  }
  item->Name = Name;
  item->Description = Description;
}

void TAbstractOptionItem::ReadField(int32_t tag, TVistaReader& reader) {
  switch (tag) {
    case record_tag::kCareOptionName:
      Name = reader.ReadStringField();
      return;
    case record_tag::kCareOptionDescription:
      Description = reader.ReadStringField();
      return;
    default:
      reader.SkipField();
  }
}

bool TAbstractOptionItem::WriteTo(TVistaWriter& writer) {
  writer.BeginFolding(RecordType());
  WriteFields(writer);
  return writer.EndFolding();
}

void TAbstractOptionItem::WriteFields(TVistaWriter& writer) const {
  writer.WriteStringField(record_tag::kCareOptionName, Name);
  writer.WriteStringField(record_tag::kCareOptionDescription, Description);
}

void TOptionItem::WriteFields(TVistaWriter& writer) const {
  TAbstractOptionItem::WriteFields(writer);
  if (Category) Category->WriteTo(writer);
}

void TOptionItem::AddSubObject(std::unique_ptr<TObject> object) {
  auto* category = dynamic_cast<TCategory*>(object.get());
  if (!category) return;
  Category = category;
  kept_.push_back(std::move(object));
}

std::unique_ptr<TObject> TOptionItem::CreateEmpty() const {
  return std::make_unique<TOptionItem>();
}

TAbstractOptionItem* TCompositeOption::Add(std::unique_ptr<TAbstractOptionItem> item) {
  item->Parent = this;
  nesting_depth_ = std::max(nesting_depth_, item->NestingDepth() + 1);
  items_.push_back(std::move(item));
  return items_.back().get();
}

void TCompositeOption::WriteFields(TVistaWriter& writer) const {
  TAbstractOptionItem::WriteFields(writer);
  for (const auto& item : items_)
    item->WriteTo(writer);
}

void TCompositeOption::AddSubObject(std::unique_ptr<TObject> object) {
  auto* item = dynamic_cast<TAbstractOptionItem*>(object.get());
  if (!item || item->NestingDepth() >= kMaxNesting) return;
  Add(TakeAs<TAbstractOptionItem>(object));
}

std::unique_ptr<TObject> TCompositeOption::CreateEmpty() const {
  return std::make_unique<TCompositeOption>();
}

// ---------------------------------------------------------------------------

void RegisterCareEventPrototypes() {
  static const bool registered = [] {
    const auto add = [](std::unique_ptr<TObject> prototype) {
      TVistaStreamParser::RegisterPrototype(std::move(prototype));
    };
    add(std::make_unique<TCareEventSet>());
    add(std::make_unique<TCategory>());
    add(std::make_unique<TValueCategory>());
    add(std::make_unique<TOptionItem>());
    add(std::make_unique<TCompositeOption>());
    add(std::make_unique<TSymbolCategoryVisualizer>());
    add(std::make_unique<TSimpleCareEvent>());
    add(std::make_unique<TValueCareEvent>());
    add(std::make_unique<TCustomValueCareEvent>());
    add(std::make_unique<TTextEvent>());
    add(std::make_unique<TTextCategoryVisualizer>());
    add(std::make_unique<TCategorySeries>(nullptr));
    add(std::make_unique<TCategoryPoint>(0, 0));
    add(std::make_unique<TCompositeCategoryPoint>(0, 0));
    add(std::make_unique<TCustomCategoryPoint>(0, 0));
    add(std::make_unique<TCareEventFile>());
    add(std::make_unique<TCareEventCategory>());
    add(std::make_unique<TManualEntries>());
    add(std::make_unique<TManualEntry>());
    add(std::make_unique<TTreatmentTarget>());
    return true;
  }();
  (void)registered;
}
