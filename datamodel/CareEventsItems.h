// The care-event items of the browse tree: care-event files, their categories,
// and manual entries. They are written and read as every browse item is (the two
// identity records), under record types of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "datamodel/BrowserItems.h"

inline constexpr int32_t kCareEventFileRecord = -20;
inline constexpr int32_t kCareEventCategoryRecord = -19;
inline constexpr int32_t kManualEntriesRecord = -22;
inline constexpr int32_t kManualEntryRecord = -21;

// Items nested deeper than this in a file are not taken as children: a file that
// nests items without end would otherwise build a tree too deep to free.
inline constexpr int32_t kMaxCareItemNesting = 64;

// Gives a care-event item its record type and takes nested items from a file only
// as deep as kMaxCareItemNesting.
template <typename Derived, typename Base, int32_t Record>
class TCareItemOf : public TBrowseItemOf<Derived, Base> {
 public:
  int32_t RecordType() const override { return Record; }
  // As every browse item, except for a child item whose own tree is too deep.
  void AddSubObject(std::unique_ptr<TObject> object) override;
};

// A care-event file.
class TCareEventFile : public TCareItemOf<TCareEventFile, TGroup, kCareEventFileRecord> {
 public:
  std::string_view ClassName() const override { return "TCareEventFile"; }
  std::string GetCaption() const override { return "Care"; }
  int32_t ImageIndex() const override { return 41; }
  int32_t StateIndex() const override { return 10; }
};

// A category of a care-event file.
class TCareEventCategory
    : public TCareItemOf<TCareEventCategory, TPartOfFileVariable, kCareEventCategoryRecord> {
 public:
  std::string_view ClassName() const override { return "TCareEventCategory"; }
  std::string GetCaption() const override { return "Kategori XXX"; }
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 1; }
};

// The manual entries of a patient.
class TManualEntries : public TCareItemOf<TManualEntries, TGroup, kManualEntriesRecord> {
 public:
  std::string_view ClassName() const override { return "TManualEntries"; }
  std::string GetCaption() const override { return "Care"; }
  int32_t ImageIndex() const override { return 41; }
  int32_t StateIndex() const override { return 10; }
};

// One manual entry.
class TManualEntry : public TCareItemOf<TManualEntry, TPartOfFileVariable, kManualEntryRecord> {
 public:
  std::string_view ClassName() const override { return "TManualEntry"; }
  std::string GetCaption() const override { return "Inmatning X"; }
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 1; }
};

// How many levels of items Item's tree has (1 for an item without children),
// counted no further than Limit.
int32_t BrowseTreeHeight(const TBrowseItem& item, int32_t limit);

template <typename Derived, typename Base, int32_t Record>
void TCareItemOf<Derived, Base, Record>::AddSubObject(std::unique_ptr<TObject> object) {
  if (auto* item = dynamic_cast<TBrowseItem*>(object.get());
      item && BrowseTreeHeight(*item, kMaxCareItemNesting) >= kMaxCareItemNesting)
    return;
  Base::AddSubObject(std::move(object));
}
