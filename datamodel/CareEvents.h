// Care events: what was done at the bedside, as annotations of a patient's data.
//
// A category describes one kind of care event: its name, the set of events that
// can be recorded in it (a value N of the category stands for event N of the set),
// the visualizer that draws its values (CareEventsVisualizers.h) and its treatment
// targets. Option items arrange categories into nested option lists. A care event
// carries a name and a caption and, by kind, a value or a text.
//
// Every class writes one record, a folding tagged with its record type, and reads
// its own fields back one tag at a time; nested records are objects of their own,
// which a stream parser creates by record type and hands to the enclosing object's
// AddSubObject.
//
// Ownership: a care-event set owns its events and a composite option its items. A
// category only refers to its event set, visualizer and targets, and an option item
// to its category: whoever assembles them (a category pool, a window) keeps them.
// What a stream parser hands over through AddSubObject has no other owner, so the
// receiver keeps it until it is freed itself; the reference may be pointed
// elsewhere meanwhile without anything being freed under a holder of the old one.
//
// The care-event items of the browse tree are in CareEventsItems.h, the category
// series and its points in CareEventsSeries.h, the category pool in
// CareEventsPool.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassPersist.h"

class TAbstractCategoryVisualizer;
class TVistaReader;
class TVistaWriter;

// Record types of the care-event classes.
inline constexpr int32_t kCareEventSetRecord = -7;
inline constexpr int32_t kCategoryRecord = -6;
inline constexpr int32_t kValueCategoryRecord = -8;
inline constexpr int32_t kOptionItemRecord = -9;
inline constexpr int32_t kCompositeOptionRecord = -14;
// Shared by the simple, value and text events and the treatment target: a record
// of type 0 always comes back as a TSimpleCareEvent.
inline constexpr int32_t kCareEventRecord = 0;
inline constexpr int32_t kCustomValueCareEventRecord = -5;

// --- Care events -----------------------------------------------------------

class TAbstractCareEvent : public TPersistIt {
 public:
  std::string_view ClassName() const override { return "TAbstractCareEvent"; }
  std::string Name;     // field 2012
  std::string Caption;  // field 2013: the text shown for the event's value

  // When Dest is a care event: Name and Caption, and the fields of this class that
  // Dest has. Any other Dest is left as it is, without an error.
  void AssignTo(TPersistent& dest) const override;
  // 2012 and 2013; other fields are skipped.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  // A folding of the record type holding WriteFields (the abstract class has no
  // record type and raises the persistable base's error).
  bool WriteTo(TVistaWriter& writer) override;
  // 2012 Name, 2013 Caption.
  virtual void WriteFields(TVistaWriter& writer) const;
  // The same class, equal Name and Caption (exact, with case).
  virtual bool Equals(const TAbstractCareEvent& other) const;
};

// Gives care-event class Derived its empty instances.
template <typename Derived, typename Base>
class TCareEventOf : public Base {
 public:
  std::unique_ptr<TObject> CreateEmpty() const override { return std::make_unique<Derived>(); }
};

class TSimpleCareEvent : public TCareEventOf<TSimpleCareEvent, TAbstractCareEvent> {
 public:
  std::string_view ClassName() const override { return "TSimpleCareEvent"; }
  int32_t RecordType() const override { return kCareEventRecord; }
};

// An event with a value. The value is not stored: the record is that of a simple
// event, and reads back as one.
class TValueCareEvent : public TCareEventOf<TValueCareEvent, TAbstractCareEvent> {
 public:
  std::string_view ClassName() const override { return "TValueCareEvent"; }
  double Value = 0;
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kCareEventRecord; }
  // Also an equal Value.
  bool Equals(const TAbstractCareEvent& other) const override;
};

class TCustomValueCareEvent : public TCareEventOf<TCustomValueCareEvent, TValueCareEvent> {
 public:
  std::string_view ClassName() const override { return "TCustomValueCareEvent"; }
  int32_t RecordType() const override { return kCustomValueCareEventRecord; }
};

// An event with a text. The text is not stored: the record is that of a simple
// event, and reads back as one.
class TTextEvent : public TCareEventOf<TTextEvent, TAbstractCareEvent> {
 public:
  std::string_view ClassName() const override { return "TTextEvent"; }
  std::string Text;
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kCareEventRecord; }
  // Also an equal Text.
  bool Equals(const TAbstractCareEvent& other) const override;
};

// --- The set of events of a category -----------------------------------------

class TCareEventSet : public TPersistIt {
 public:
  std::string_view ClassName() const override { return "TCareEventSet"; }

  const std::vector<std::unique_ptr<TAbstractCareEvent>>& Events() const { return events_; }
  // Appends Event (owned); returns it.
  TAbstractCareEvent* Add(std::unique_ptr<TAbstractCareEvent> event);
  int32_t Count() const { return static_cast<int32_t>(events_.size()); }
  // Event Index; "List index out of bounds (Index)" (EListError) outside the list.
  const TAbstractCareEvent& Event(int32_t index) const;

  // Dest must be a care-event set (otherwise the assignment error): a copy of each
  // event, of the same class, is appended to Dest's events; Dest's own stay.
  void AssignTo(TPersistent& dest) const override;
  // A care event is appended (and kept); anything else is dropped.
  void AddSubObject(std::unique_ptr<TObject> object) override;
  std::unique_ptr<TObject> CreateEmpty() const override;
  // The set has no fields of its own: every field is skipped.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kCareEventSetRecord; }
  // Folding -7 holding each event's record, in list order.
  bool WriteTo(TVistaWriter& writer) override;
  // The same number of events, each equal to the one at its index in Other.
  bool Equals(const TCareEventSet& other) const;

 private:
  std::vector<std::unique_ptr<TAbstractCareEvent>> events_;
};

// --- Treatment targets -------------------------------------------------------

// What a treatment aims at. Nothing of it is stored: its record is empty.
class TTreatmentTarget : public TPersistent, public IPersistIT {
 public:
  std::string_view ClassName() const override { return "TTreatmentTarget"; }
  std::string Text;

  // Text when Dest is a treatment target; any other Dest is left as it is.
  void AssignTo(TPersistent& dest) const override;
  // The same class and an equal Text.
  virtual bool Equals(const TTreatmentTarget& other) const;

  void AddSubObject(std::unique_ptr<TObject>) override {}
  void ReadDone() override {}
  std::unique_ptr<TObject> CreateEmpty() const override;
  // Every field is skipped.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kCareEventRecord; }
  // Writes nothing.
  bool WriteTo(TVistaWriter&) override { return true; }
};

// --- Categories --------------------------------------------------------------

class TCategory : public TPersistIt {
 public:
  // Takes EventSet (not owned) when there is one.
  explicit TCategory(TCareEventSet* event_set = nullptr);
  ~TCategory() override;
  std::string_view ClassName() const override { return "TCategory"; }

  uint8_t Code = 0;  // not stored
  // The events the category's values stand for (not owned; may be none).
  TCareEventSet* EventSet = nullptr;
  std::string Name;         // field 2006
  std::string Description;  // field 2007
  // Draws the category's values (not owned; may be none).
  TAbstractCategoryVisualizer* Visualizer = nullptr;
  // A point holds a set of values rather than one value (not stored).
  bool Composite = false;
  // Points are separate marks rather than states lasting until the next point
  // (field 2009).
  bool Momentary = false;
  // The treatment targets (not owned); nothing of them is stored.
  std::vector<TTreatmentTarget*> Targets;

  // The caption of event Value of the event set: the text shown for the value.
  // "List index out of bounds (Value)" (EListError) without such an event; none
  // without an event set.
  const std::string* ValueCaption(int32_t value) const;

  // Dest must be a category (otherwise the assignment error): Code, Name,
  // Description, Composite and Momentary; not the references.
  void AssignTo(TPersistent& dest) const override;
  // 2006, 2007 and 2009; other fields are skipped.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return kCategoryRecord; }
  // A folding of the record type holding WriteFields.
  bool WriteTo(TVistaWriter& writer) override;
  // 2006 Name, 2007 Description, 2009 Momentary, then the event set's record and
  // the visualizer's record, each when there is one.
  virtual void WriteFields(TVistaWriter& writer) const;
  // Equal Name, Description, Composite and Momentary; equal event sets (a missing
  // set counts as one without events); as many targets, each equal to one of
  // Other's. Code and visualizer are not compared.
  virtual bool Equals(const TCategory& other) const;
  // A care-event set becomes EventSet, a visualizer Visualizer, a treatment target
  // is appended to Targets; the category keeps them. Anything else is dropped.
  void AddSubObject(std::unique_ptr<TObject> object) override;
  // A category without event set.
  std::unique_ptr<TObject> CreateEmpty() const override;

 private:
  // What AddSubObject handed over, kept until the category is freed.
  std::vector<std::unique_ptr<TObject>> kept_;
};

// A category whose values carry a named quantity (neither field is stored).
class TValueCategory : public TCategory {
 public:
  using TCategory::TCategory;
  std::string_view ClassName() const override { return "TValueCategory"; }
  std::string ValueName;
  uint8_t ValueKind = 0;
  // The category's fields, and ValueName and ValueKind when Dest is one.
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kValueCategoryRecord; }
  // Other is a value category with equal ValueKind and ValueName, and the
  // category's test.
  bool Equals(const TCategory& other) const override;
  std::unique_ptr<TObject> CreateEmpty() const override;
};

// --- Option items ------------------------------------------------------------

class TCompositeOption;

class TAbstractOptionItem : public TPersistIt {
 public:
  std::string_view ClassName() const override { return "TAbstractOptionItem"; }
  // The composite holding the item (not owned), or none.
  TCompositeOption* Parent = nullptr;
  std::string Description;  // field 2002
  std::string Name;         // field 2001

  // Dest must be an option item (otherwise the assignment error): Name and
  // Description.
  void AssignTo(TPersistent& dest) const override;
  // 2001 and 2002; other fields are skipped.
  void ReadField(int32_t tag, TVistaReader& reader) override;
  // A folding of the record type holding WriteFields.
  bool WriteTo(TVistaWriter& writer) override;
  // 2001 Name, 2002 Description, then what the class adds.
  virtual void WriteFields(TVistaWriter& writer) const;
  // How deep composites nest below this item (0 for a plain item).
  virtual int32_t NestingDepth() const { return 0; }
};

// An option that chooses a category.
class TOptionItem : public TAbstractOptionItem {
 public:
  std::string_view ClassName() const override { return "TOptionItem"; }
  // Not owned; may be none.
  TCategory* Category = nullptr;

  int32_t RecordType() const override { return kOptionItemRecord; }
  // The base's fields, then the category's record when there is one.
  void WriteFields(TVistaWriter& writer) const override;
  // A category becomes Category, and the item keeps it; anything else is dropped.
  void AddSubObject(std::unique_ptr<TObject> object) override;
  std::unique_ptr<TObject> CreateEmpty() const override;

 private:
  std::vector<std::unique_ptr<TObject>> kept_;
};

// A list of options, itself an option.
class TCompositeOption : public TAbstractOptionItem {
 public:
  // Option lists nested deeper than this in a file are not taken: a file nesting
  // composites without end would otherwise build a tree too deep to free.
  static constexpr int32_t kMaxNesting = 64;

  std::string_view ClassName() const override { return "TCompositeOption"; }
  const std::vector<std::unique_ptr<TAbstractOptionItem>>& Items() const { return items_; }
  // Appends Item (owned) with this composite as its parent; returns it.
  TAbstractOptionItem* Add(std::unique_ptr<TAbstractOptionItem> item);

  int32_t RecordType() const override { return kCompositeOptionRecord; }
  // The base's fields, then each item's record, in list order.
  void WriteFields(TVistaWriter& writer) const override;
  // An option item is appended (Add); anything else is dropped, and so is an item
  // whose composites would nest deeper than kMaxNesting.
  void AddSubObject(std::unique_ptr<TObject> object) override;
  std::unique_ptr<TObject> CreateEmpty() const override;
  int32_t NestingDepth() const override { return nesting_depth_; }

 private:
  std::vector<std::unique_ptr<TAbstractOptionItem>> items_;
  int32_t nesting_depth_ = 1;
};

// Registers the care-event unit's twenty prototypes with the prototype registry, in
// this order: TCareEventSet, TCategory, TValueCategory, TOptionItem,
// TCompositeOption, TSymbolCategoryVisualizer, TSimpleCareEvent, TValueCareEvent,
// TCustomValueCareEvent, TTextEvent, TTextCategoryVisualizer, TCategorySeries,
// TCategoryPoint, TCompositeCategoryPoint, TCustomCategoryPoint, TCareEventFile,
// TCareEventCategory, TManualEntries, TManualEntry, TTreatmentTarget. Once; the
// data model's start calls it after the point unit's. The default visualizer is not
// registered: its record is not recreated by type.
void RegisterCareEventPrototypes();
