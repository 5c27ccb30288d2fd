// The browse tree: the data model behind a tree view of data sources (top nodes,
// folders, patient locations, patients, parameter groups, catheters, data
// variables and files). Every node is a TBrowseItem that owns its children and
// carries the identity of its patient and of its measured parameter, and answers
// the texts and image numbers a tree view shows.
//
// A node writes record -18 holding exactly its two identity records (-23, -24);
// names, strings, parent and children are not stored. Reading skips the record's
// fields and takes nested identity records and items through AddSubObject.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datafile/QORClassPersist.h"
#include "platform/resources.h"

inline constexpr int32_t kBrowseItemRecord = -18;

inline constexpr platform::ResourceString SKorvetOnline{"BrowserItems.SKorvetOnline",
                                                        "Korvet Online"};
inline constexpr platform::ResourceString SKorvetDatabase{"BrowserItems.SKorvetDatabase",
                                                          "Korvet Database"};
inline constexpr platform::ResourceString SEvents{"BrowserItems.SEvents", "Events"};
inline constexpr platform::ResourceString SEventsOf{"BrowserItems.SEventsOf", "Events %s %s"};
inline constexpr platform::ResourceString SRegisteredPatient{"BrowserItems.SRegisteredPatient",
                                                             "[Registered Patient %d]"};
inline constexpr platform::ResourceString SVideo{"BrowserItems.SVideo", "Video"};

class TBrowseItem;

// A registered class of browse items: its name and how to make an empty one.
struct TBrowseItemClass {
  std::string_view name;
  std::unique_ptr<TBrowseItem> (*create)();
};

class TBrowseItem : public TPersistIt {
 public:
  // An item without parent; Create (below) makes one inside a parent.
  TBrowseItem();
  // Frees the children, first child first, and leaves the parent's list, so that
  // the parent never holds a freed item.
  ~TBrowseItem() override;
  std::string_view ClassName() const override { return "TBrowseItem"; }

  // A new item of class T appended to Parent's children, which own it. An item
  // without parent is made as any other object (std::make_unique<T>()).
  template <typename T>
  static T* Create(TBrowseItem& parent) {
    auto item = std::make_unique<T>();
    T* raw = item.get();
    parent.AddChild(std::move(item));
    return raw;
  }
  // Appends Child to the children and makes this item its parent; a child that had
  // another parent leaves that one's list first.
  TBrowseItem* AddChild(std::unique_ptr<TBrowseItem> child);
  // Takes Child out of the children, without freeing it; none when it is not one.
  std::unique_ptr<TBrowseItem> RemoveChild(const TBrowseItem* child);
  // Removes and frees the children, first child first.
  void ClearChildren();
  const std::vector<std::unique_ptr<TBrowseItem>>& Children() const { return children_; }
  TBrowseItem* Parent() const { return parent_; }

  // Copied and compared only.
  std::string Extra1;
  std::string Extra2;
  std::string Extra3;
  // The item's own name; the caption of several classes.
  std::string Name;
  // 1 for groups and saved plots, else 0.
  uint8_t IsContainer = 0;

  TUniqueParameterInformation& ParameterInfo() const { return *parameter_info_; }
  TUniquePatientInformation& PatientInfo() const { return *patient_info_; }
  const std::string& GetPatientName() const { return patient_info_->PatientName; }

  // Dest must be a browse item: Name, IsContainer, the extras and copies of the two
  // identities. Parent and children are never copied.
  void AssignTo(TPersistent& dest) const override;
  int32_t RecordType() const override { return kBrowseItemRecord; }
  // Record -18 holding WriteFields.
  bool WriteTo(TVistaWriter& writer) override;
  // The same item: equal names, flags, extras and identities; the classes with
  // fields of their own test the class of Other and their fields first.
  virtual bool IsSame(const TBrowseItem& other) const;
  // The patient identity (-23), then the parameter identity (-24).
  virtual void WriteFields(TVistaWriter& writer) const;
  virtual std::string GetCaption() const { return {}; }
  virtual std::string GetLongCaption() const { return {}; }
  virtual bool IsWritable() const { return false; }
  virtual bool AllowsFileActionA() const { return false; }
  virtual bool AllowsFileActionB() const { return false; }
  virtual int32_t ImageIndex() const { return 0; }
  virtual int32_t StateIndex() const { return 0; }
  virtual bool IsEditable() const { return false; }

  // A browse item becomes a child (this item its parent); an identity record
  // replaces the item's own, which is freed; anything else is dropped.
  void AddSubObject(std::unique_ptr<TObject> object) override;
  // A new, empty item of the object's own class, without parent.
  std::unique_ptr<TObject> CreateEmpty() const override;
  // A new item of the same class with the same values (no parent, no children).
  std::unique_ptr<TBrowseItem> Clone() const;

  // The list of item classes.
  static void RegisterItemClass(const TBrowseItemClass& item_class);
  static const std::vector<TBrowseItemClass>& ItemClasses();

 private:
  TBrowseItem* parent_ = nullptr;
  std::unique_ptr<TUniqueParameterInformation> parameter_info_;
  std::unique_ptr<TUniquePatientInformation> patient_info_;
  std::vector<std::unique_ptr<TBrowseItem>> children_;
};

// Gives class Derived (derived from Base) its empty instances.
template <typename Derived, typename Base>
class TBrowseItemOf : public Base {
 public:
  using Base::Base;
  std::unique_ptr<TObject> CreateEmpty() const override { return std::make_unique<Derived>(); }
};

class TVirtualData : public TBrowseItemOf<TVirtualData, TBrowseItem> {
 public:
  std::string_view ClassName() const override { return "TVirtualData"; }
};
class TCreatedData : public TBrowseItemOf<TCreatedData, TVirtualData> {
 public:
  std::string_view ClassName() const override { return "TCreatedData"; }
};
class TPastedData : public TBrowseItemOf<TPastedData, TVirtualData> {
 public:
  std::string_view ClassName() const override { return "TPastedData"; }
};
class TImportedData : public TBrowseItemOf<TImportedData, TVirtualData> {
 public:
  std::string_view ClassName() const override { return "TImportedData"; }
};

class TCalculatedParameter : public TBrowseItemOf<TCalculatedParameter, TVirtualData> {
 public:
  std::string_view ClassName() const override { return "TCalculatedParameter"; }
  std::string CalcText;
  int32_t CalcRef = 0;
  void AssignTo(TPersistent& dest) const override;
  // CalcRef equal and CalcText equal without regard to case, then the base test.
  bool IsSame(const TBrowseItem& other) const override;
  int32_t ImageIndex() const override { return 13; }
  int32_t StateIndex() const override { return 20; }
};

// An item backed by a file or folder.
class TDiscBrowseItem : public TBrowseItemOf<TDiscBrowseItem, TBrowseItem> {
 public:
  std::string_view ClassName() const override { return "TDiscBrowseItem"; }
  std::string DiscExtra1;
  // Shown before the patient name in captions.
  std::string PatientPrefix;
  std::string DiscExtra2;
  std::string DiscExtra3;
  std::string FileName;  // with extension
  std::string DiscExtra4;
  std::string Directory;  // ending in a separator
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  // FileName up to its extension (the last "." and what follows).
  std::string FileNameWithoutExtension() const;

 protected:
  // Whether Path names an entry that exists and is not read-only.
  static bool IsWritablePath(const std::string& path);
};

class TVariable : public TBrowseItemOf<TVariable, TDiscBrowseItem> {
 public:
  std::string_view ClassName() const override { return "TVariable"; }
  bool IsSame(const TBrowseItem& other) const override;
  // PatientPrefix, patient name, display name, extra name and place.
  std::string GetCaption() const override;
  // The caption, after "[Registered Patient %d]" for a registered patient.
  std::string GetLongCaption() const override;
  int32_t ImageIndex() const override { return IsWritable() ? 7 : 8; }
  int32_t StateIndex() const override { return 8; }

 protected:
  std::string VariableCaption() const;
};

class TSingleFileVariable : public TBrowseItemOf<TSingleFileVariable, TVariable> {
 public:
  std::string_view ClassName() const override { return "TSingleFileVariable"; }
  bool IsWritable() const override;
  bool AllowsFileActionA() const override { return true; }
  bool AllowsFileActionB() const override { return true; }
  int32_t ImageIndex() const override { return 7; }
  int32_t StateIndex() const override { return 11; }
};

class TPartOfFileVariable : public TBrowseItemOf<TPartOfFileVariable, TVariable> {
 public:
  std::string_view ClassName() const override { return "TPartOfFileVariable"; }
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 10; }
};

class TMultipleFileVariable : public TBrowseItemOf<TMultipleFileVariable, TVariable> {
 public:
  std::string_view ClassName() const override { return "TMultipleFileVariable"; }
  std::vector<std::string> FileNames;
  void AssignTo(TPersistent& dest) const override;
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 9; }
};

class TGroup : public TBrowseItemOf<TGroup, TDiscBrowseItem> {
 public:
  TGroup() { IsContainer = 1; }
  std::string_view ClassName() const override { return "TGroup"; }
  int32_t ImageIndex() const override { return 5; }
  int32_t StateIndex() const override { return 1; }
};

class TFolder : public TBrowseItemOf<TFolder, TGroup> {
 public:
  std::string_view ClassName() const override { return "TFolder"; }
  // The last folder name of Directory.
  std::string GetCaption() const override;
  bool IsWritable() const override;
  bool AllowsFileActionA() const override { return true; }
  bool AllowsFileActionB() const override { return true; }
  int32_t ImageIndex() const override { return 5; }
  int32_t StateIndex() const override { return 8; }
};

class TTopFolder : public TBrowseItemOf<TTopFolder, TGroup> {
 public:
  std::string_view ClassName() const override { return "TTopFolder"; }
  int32_t ImageIndex() const override { return 5; }
  int32_t StateIndex() const override { return 6; }
};

class TOnlinePatients : public TBrowseItemOf<TOnlinePatients, TTopFolder> {
 public:
  std::string_view ClassName() const override { return "TOnlinePatients"; }
  std::string GetCaption() const override;
  int32_t ImageIndex() const override { return 0; }
  int32_t StateIndex() const override { return 4; }
};

class TKorvetDataBase : public TBrowseItemOf<TKorvetDataBase, TTopFolder> {
 public:
  std::string_view ClassName() const override { return "TKorvetDataBase"; }
  std::string GetCaption() const override;
  int32_t ImageIndex() const override { return 0; }
  int32_t StateIndex() const override { return 5; }
};

class TPatientLocation : public TBrowseItemOf<TPatientLocation, TGroup> {
 public:
  std::string_view ClassName() const override { return "TPatientLocation"; }
  uint8_t LocationFlag = 0;
  std::string LocationName;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  std::string GetCaption() const override { return LocationName; }
  int32_t ImageIndex() const override { return LocationFlag ? 3 : 39; }
  int32_t StateIndex() const override { return 10; }
};

class TMonitorDataGroup : public TBrowseItemOf<TMonitorDataGroup, TGroup> {
 public:
  std::string_view ClassName() const override { return "TMonitorDataGroup"; }
  std::string MonitorName;
  std::string MonitorExtra1;
  std::string MonitorExtra2;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  // MonitorName (MonitorExtra2)
  std::string GetCaption() const override;
  bool IsWritable() const override { return false; }
  bool AllowsFileActionA() const override { return false; }
  int32_t ImageIndex() const override { return 24; }
  int32_t StateIndex() const override { return 5; }
};

class TDrugDoseGroup : public TBrowseItemOf<TDrugDoseGroup, TGroup> {
 public:
  std::string_view ClassName() const override { return "TDrugDoseGroup"; }
  std::string GetCaption() const override { return Name; }
  int32_t ImageIndex() const override { return 25; }
  int32_t StateIndex() const override { return 5; }
};

class TPatient : public TBrowseItemOf<TPatient, TGroup> {
 public:
  std::string_view ClassName() const override { return "TPatient"; }
  uint8_t Marker = 0;
  std::string CaptionOverride;
  std::string RegisteredText;
  uint8_t PatientFlags = 0;
  int32_t GetRegisteredNo() const { return PatientInfo().RegisteredNo; }
  // RegisteredText for a registered patient, else empty.
  std::string GetRegisteredText() const;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  std::string GetCaption() const override;
  int32_t ImageIndex() const override;
  int32_t StateIndex() const override { return 7; }
};

class TParameterGroup : public TBrowseItemOf<TParameterGroup, TGroup> {
 public:
  std::string_view ClassName() const override { return "TParameterGroup"; }
  int32_t ImageIndex() const override { return 5; }
  int32_t StateIndex() const override { return 2; }
};

class TCatheter : public TBrowseItemOf<TCatheter, TParameterGroup> {
 public:
  std::string_view ClassName() const override { return "TCatheter"; }
  int32_t CatheterNo = 0;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  int32_t ImageIndex() const override { return 16; }
  int32_t StateIndex() const override { return 2; }
};

class TFluvantronicsData : public TBrowseItemOf<TFluvantronicsData, TPartOfFileVariable> {
 public:
  std::string_view ClassName() const override { return "TFluvantronicsData"; }
  int32_t DataNo = 0;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  std::string GetCaption() const override { return ParameterInfo().ParameterName(); }
  std::string GetLongCaption() const override;
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 15; }
};

class TKorvetEventSerie : public TBrowseItemOf<TKorvetEventSerie, TPartOfFileVariable> {
 public:
  std::string_view ClassName() const override { return "TKorvetEventSerie"; }
  std::string GetCaption() const override { return Name; }
  int32_t ImageIndex() const override { return 9; }
  int32_t StateIndex() const override { return 3; }
};

class TExternalParameter : public TBrowseItemOf<TExternalParameter, TPartOfFileVariable> {
 public:
  std::string_view ClassName() const override { return "TExternalParameter"; }
  std::string GetCaption() const override { return ParameterInfo().DisplayName(); }
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 12; }
};

class TSavedSeriesInPlot : public TBrowseItemOf<TSavedSeriesInPlot, TPartOfFileVariable> {
 public:
  std::string_view ClassName() const override { return "TSavedSeriesInPlot"; }
  uint8_t PlotSerieFlag = 0;
  int32_t PlotSerieNo = 0;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  std::string GetCaption() const override { return Name; }
  bool IsEditable() const override { return false; }
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 13; }
};

class TSavedCommentInPlot : public TBrowseItemOf<TSavedCommentInPlot, TPartOfFileVariable> {
 public:
  std::string_view ClassName() const override { return "TSavedCommentInPlot"; }
  std::string GetCaption() const override { return Name; }
  bool IsEditable() const override { return false; }
  int32_t ImageIndex() const override { return 17; }
  int32_t StateIndex() const override { return 14; }
};

class TSavedPlot : public TBrowseItemOf<TSavedPlot, TSingleFileVariable> {
 public:
  TSavedPlot() { IsContainer = 1; }
  std::string_view ClassName() const override { return "TSavedPlot"; }
  std::string GetCaption() const override { return FileNameWithoutExtension(); }
  int32_t ImageIndex() const override { return 10; }
  int32_t StateIndex() const override { return 14; }
};

class TSavedSerie : public TBrowseItemOf<TSavedSerie, TSingleFileVariable> {
 public:
  std::string_view ClassName() const override { return "TSavedSerie"; }
  uint8_t SavedSerieFlag = 0;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  std::string GetCaption() const override { return FileNameWithoutExtension(); }
  bool IsEditable() const override;
  int32_t ImageIndex() const override { return 7; }
  int32_t StateIndex() const override { return 13; }
};

class TSingleEventSerie : public TBrowseItemOf<TSingleEventSerie, TSingleFileVariable> {
 public:
  std::string_view ClassName() const override { return "TSingleEventSerie"; }
  std::string GetCaption() const override;
  std::string GetLongCaption() const override;
  bool IsEditable() const override;
  int32_t ImageIndex() const override { return 9; }
  int32_t StateIndex() const override { return 3; }
};

class TVideoVariable : public TBrowseItemOf<TVideoVariable, TMultipleFileVariable> {
 public:
  // Its parameter is named "Video" (the resource text).
  TVideoVariable();
  std::string_view ClassName() const override { return "TVideoVariable"; }
  std::string VideoText;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  std::string GetCaption() const override { return ParameterInfo().DisplayName(); }
  int32_t ImageIndex() const override { return 12; }
  int32_t StateIndex() const override { return 4; }
};

class TImageFile : public TBrowseItemOf<TImageFile, TSingleFileVariable> {
 public:
  std::string_view ClassName() const override { return "TImageFile"; }
  std::string GetCaption() const override { return FileNameWithoutExtension(); }
  bool IsEditable() const override;
  int32_t ImageIndex() const override { return 38; }
  int32_t StateIndex() const override { return 17; }
};

class TDrugDoseVariable : public TBrowseItemOf<TDrugDoseVariable, TSingleFileVariable> {
 public:
  std::string_view ClassName() const override { return "TDrugDoseVariable"; }
  std::string DoseUnit;
  std::string DoseName;
  void AssignTo(TPersistent& dest) const override;
  bool IsSame(const TBrowseItem& other) const override;
  // DoseName, with " (DoseUnit)" when there is a unit; Name when that is empty.
  std::string GetCaption() const override;
  int32_t ImageIndex() const override { return 8; }
  int32_t StateIndex() const override { return 15; }
};

class TUnknownFile : public TBrowseItemOf<TUnknownFile, TSingleFileVariable> {
 public:
  std::string_view ClassName() const override { return "TUnknownFile"; }
  int32_t ImageNumber = 11;
  void AssignTo(TPersistent& dest) const override;
  std::string GetCaption() const override { return FileName; }
  int32_t ImageIndex() const override { return ImageNumber; }
  int32_t StateIndex() const override { return 100; }
};

class TRichTextFile : public TBrowseItemOf<TRichTextFile, TSingleFileVariable> {
 public:
  std::string_view ClassName() const override { return "TRichTextFile"; }
  std::string GetCaption() const override { return FileNameWithoutExtension(); }
  bool IsEditable() const override;
  int32_t ImageIndex() const override { return 17; }
  int32_t StateIndex() const override { return 16; }
};

// Fills the list of item classes with the 34 classes above, in their order, once.
void RegisterBrowseItemClasses();
