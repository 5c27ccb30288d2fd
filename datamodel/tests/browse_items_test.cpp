#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datamodel/BrowserItems.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/tests/temp_folder.h"

namespace {

using model_test::Bytes;

// An item that logs its destruction.
class LoggedItem : public TBrowseItemOf<LoggedItem, TGroup> {
 public:
  std::string_view ClassName() const override { return "LoggedItem"; }
  ~LoggedItem() override {
    if (log) log->push_back(Name);
  }
  std::vector<std::string>* log = nullptr;
};

TEST(BrowseItemsTest, ChildrenBelongToTheirParent) {
  TGroup root;
  TVariable* child = TBrowseItem::Create<TVariable>(root);
  EXPECT_EQ(child->Parent(), &root);
  ASSERT_EQ(root.Children().size(), 1u);
  EXPECT_EQ(root.Children()[0].get(), child);
  EXPECT_EQ(TVariable().Parent(), nullptr);

  std::vector<std::string> log;
  TGroup parent;
  for (const char* name : {"a", "b", "c"}) {
    LoggedItem* item = TBrowseItem::Create<LoggedItem>(parent);
    item->Name = name;
    item->log = &log;
  }
  parent.ClearChildren();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(parent.Children().empty());
}

TEST(BrowseItemsTest, AFreedChildLeavesItsParent) {
  TGroup parent;
  TVariable* first = TBrowseItem::Create<TVariable>(parent);
  TVariable* second = TBrowseItem::Create<TVariable>(parent);
  delete first;
  ASSERT_EQ(parent.Children().size(), 1u);
  EXPECT_EQ(parent.Children()[0].get(), second);
  std::unique_ptr<TBrowseItem> taken = parent.RemoveChild(second);
  EXPECT_EQ(taken.get(), second);
  EXPECT_EQ(second->Parent(), nullptr);
  EXPECT_TRUE(parent.Children().empty());
  // Moving an item to another parent takes it out of the first.
  TGroup other;
  TBrowseItem* moved = other.AddChild(std::move(taken));
  TGroup third;
  third.AddChild(other.RemoveChild(moved));
  EXPECT_TRUE(other.Children().empty());
  EXPECT_EQ(moved->Parent(), &third);
}

TEST(BrowseItemsTest, SubObjectsReplaceIdentitiesAndBecomeChildren) {
  TVariable item;
  auto patient = std::make_unique<TUniquePatientInformation>();
  patient->PatientName = "Berg";
  const TUniquePatientInformation* raw = patient.get();
  item.AddSubObject(std::move(patient));
  EXPECT_EQ(&item.PatientInfo(), raw);
  EXPECT_EQ(item.GetPatientName(), "Berg");
  auto parameter = std::make_unique<TUniqueParameterInformation>();
  parameter->SetParameterName("pH");
  item.AddSubObject(std::move(parameter));
  EXPECT_EQ(item.ParameterInfo().DisplayName(), "pH");
  item.AddSubObject(std::make_unique<TObject>());  // dropped
  EXPECT_EQ(item.GetPatientName(), "Berg");
  item.AddSubObject(std::make_unique<TFolder>());
  ASSERT_EQ(item.Children().size(), 1u);
  EXPECT_EQ(item.Children()[0]->Parent(), &item);
}

TEST(BrowseItemsTest, TheRecordHoldsOnlyTheTwoIdentities) {
  TPatient item;
  item.Name = "not written";
  item.PatientInfo().Registered = true;
  item.PatientInfo().RegisteredNo = 2;
  item.PatientInfo().PatientName = "Berg";
  item.ParameterInfo().SetParameterName("pH");
  TBrowseItem::Create<TVariable>(item);
  Bytes patient = Bytes().I32(2021).I32(1).U8(1).I32(2022).I32(4).I32(2).I32(2023).Str("Berg");
  Bytes parameter = Bytes().I32(2024).Str("").I32(2025).Str("pH").I32(2026).Str("");
  parameter.I32(2027).Str("").I32(2028).Str("pH");
  Bytes body = qor_test::PlainRecord(-23, patient).Append(qor_test::PlainRecord(-24, parameter));
  EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { item.WriteTo(w); }),
            qor_test::PlainRecord(-18, body).vec());
}

TEST(BrowseItemsTest, Captions) {
  TVariable variable;
  variable.PatientPrefix = "A";
  variable.PatientInfo().PatientName = "B";
  variable.ParameterInfo().SetParameterName("pH");
  EXPECT_EQ(variable.GetCaption(), "A B pH ");
  variable.ParameterInfo().SetParamExtraName("x");
  variable.ParameterInfo().SetMeasurementPlace("art");
  EXPECT_EQ(variable.GetCaption(), "A B pH xart");
  EXPECT_EQ(variable.GetLongCaption(), variable.GetCaption());
  variable.PatientInfo().Registered = true;
  variable.PatientInfo().RegisteredNo = 3;
  EXPECT_EQ(variable.GetLongCaption(), "[Registered Patient 3]A B pH xart");

  TPatient patient;
  patient.PatientPrefix = "P";
  patient.PatientInfo().PatientName = "Berg";
  EXPECT_EQ(patient.GetCaption(), "P Berg");
  patient.RegisteredText = "7";
  EXPECT_EQ(patient.GetCaption(), "P Berg");  // not registered
  patient.PatientInfo().Registered = true;
  EXPECT_EQ(patient.GetCaption(), "[7]   P Berg");
  patient.RegisteredText.clear();
  patient.PatientPrefix.clear();
  EXPECT_EQ(patient.GetCaption(), "Berg");
  patient.CaptionOverride = " Own ";
  EXPECT_EQ(patient.GetCaption(), " Own ");

  TFolder folder;
  folder.Directory = "C:\\ZQT\\DATA\\";
  EXPECT_EQ(folder.GetCaption(), "DATA");
  TMonitorDataGroup monitor;
  monitor.MonitorName = "M";
  monitor.MonitorExtra2 = "2";
  EXPECT_EQ(monitor.GetCaption(), "M (2)");
  TDrugDoseVariable dose;
  dose.Name = "fallback";
  EXPECT_EQ(dose.GetCaption(), "fallback");
  dose.DoseName = "Dopamine";
  EXPECT_EQ(dose.GetCaption(), "Dopamine");
  dose.DoseUnit = "mg/h";
  EXPECT_EQ(dose.GetCaption(), "Dopamine (mg/h)");

  TSingleEventSerie events;
  events.FileName = "events.evt";
  EXPECT_EQ(events.GetCaption(), "events");
  events.PatientPrefix = "P";
  EXPECT_EQ(events.GetCaption(), "Events");
  EXPECT_EQ(events.GetLongCaption(), "Events P ");
  TSavedPlot plot;
  plot.FileName = "a.b.plt";
  EXPECT_EQ(plot.GetCaption(), "a.b");
  EXPECT_EQ(plot.IsContainer, 1);
  EXPECT_EQ(TOnlinePatients().GetCaption(), "Korvet Online");
  EXPECT_EQ(TKorvetDataBase().GetCaption(), "Korvet Database");
  EXPECT_EQ(TVideoVariable().GetCaption(), "Video");
  EXPECT_EQ(TCalculatedParameter().GetLongCaption(), "");
}

TEST(BrowseItemsTest, LongCaptionOfMeasuredDataFollowsItsParents) {
  TFolder top;
  top.Directory = "/data/ICU/";
  TFolder* patient = TBrowseItem::Create<TFolder>(top);
  patient->Directory = "/data/ICU/Berg/";
  TFluvantronicsData* data = TBrowseItem::Create<TFluvantronicsData>(*patient);
  data->ParameterInfo().SetParameterName("pO2");
  EXPECT_EQ(data->GetCaption(), "pO2");
  EXPECT_EQ(data->GetLongCaption(), "pO2 Berg ICU");
  TFluvantronicsData alone;
  EXPECT_EQ(alone.GetLongCaption(), "");
}

TEST(BrowseItemsTest, ImagesAndStates) {
  EXPECT_EQ(TUnknownFile().ImageIndex(), 11);
  EXPECT_EQ(TUnknownFile().StateIndex(), 100);
  EXPECT_EQ(TGroup().IsContainer, 1);
  EXPECT_EQ(TVariable().IsContainer, 0);
  EXPECT_EQ(TVariable().ImageIndex(), 8);  // a missing file is not writable
  TPatientLocation location;
  EXPECT_EQ(location.ImageIndex(), 39);
  location.LocationFlag = 1;
  EXPECT_EQ(location.ImageIndex(), 3);

  struct Case {
    uint8_t flags;
    int32_t registered_no;
    bool registered_text;
    int32_t image;
  };
  const Case cases[] = {
      {0, 1, false, 1},  {1, 1, false, 18}, {3, 1, false, 19}, {1, 2, false, 20},
      {3, 2, false, 21}, {1, 3, false, 22}, {3, 3, false, 23}, {1, 9, false, 1},
      {3, 9, false, 2},  {3, 1, true, 3},   {0, 1, true, 3},
  };
  for (const Case& c : cases) {
    TPatient patient;
    patient.PatientFlags = c.flags;
    patient.PatientInfo().RegisteredNo = c.registered_no;
    patient.PatientInfo().Registered = c.registered_text;
    patient.RegisteredText = "R";
    EXPECT_EQ(patient.ImageIndex(), c.image) << int(c.flags) << " " << c.registered_no;
  }
}

TEST(BrowseItemsTest, WritableFilesAndFolders) {
  platform_test::TempFolder folder("browse_test");
  const std::string dir = folder.path() + "/";
  std::ofstream(dir + "file.vor") << "x";
  TSingleFileVariable variable;
  variable.Directory = dir;
  variable.FileName = "missing.vor";
  EXPECT_FALSE(variable.IsWritable());
  variable.FileName = "file.vor";
  EXPECT_TRUE(variable.IsWritable());
  EXPECT_EQ(variable.ImageIndex(), 7);
  TSavedSerie saved;
  saved.Directory = dir;
  saved.FileName = "file.vor";
  EXPECT_TRUE(saved.IsEditable());
  ASSERT_EQ(chmod(platform::ToOsPath(dir + "file.vor").c_str(), 0444), 0);
  EXPECT_FALSE(variable.IsWritable());
  EXPECT_FALSE(saved.IsEditable());
  TFolder folder_item;
  folder_item.Directory = dir;
  EXPECT_TRUE(folder_item.IsWritable());
  folder_item.Directory = dir + "none/";
  EXPECT_FALSE(folder_item.IsWritable());
  EXPECT_FALSE(TMonitorDataGroup().IsWritable());
  EXPECT_FALSE(TSavedSeriesInPlot().IsEditable());
}

TEST(BrowseItemsTest, SameItems) {
  TPatient a;
  TPatient b;
  a.PatientPrefix = b.PatientPrefix = "P";
  EXPECT_TRUE(a.IsSame(b));
  b.Marker = 1;
  EXPECT_FALSE(a.IsSame(b));
  // Items of other classes are never the same, whichever asks.
  TVariable variable;
  TGroup group;
  TBrowseItem base;
  EXPECT_FALSE(a.IsSame(group));
  EXPECT_FALSE(variable.IsSame(group));
  EXPECT_FALSE(group.IsSame(base));
  EXPECT_FALSE(TCatheter().IsSame(TParameterGroup()));
  EXPECT_TRUE(TCatheter().IsSame(TCatheter()));

  TCalculatedParameter c1;
  TCalculatedParameter c2;
  c1.CalcText = "A+B";
  c2.CalcText = "a+b";
  EXPECT_TRUE(c1.IsSame(c2));
  c2.CalcRef = 1;
  EXPECT_FALSE(c1.IsSame(c2));

  TVariable v1;
  TVariable v2;
  v1.ParameterInfo().SetParameterName("pH");
  v2.ParameterInfo().SetParameterName("pH");
  EXPECT_TRUE(v1.IsSame(v2));
  v2.ParameterInfo().SetMeasurementPlace("ven");
  EXPECT_FALSE(v1.IsSame(v2));
  TMultipleFileVariable m1;
  TMultipleFileVariable m2;
  m1.FileNames = {"a"};
  EXPECT_TRUE(m1.IsSame(m2));  // the file list is not compared
}

TEST(BrowseItemsTest, AssignmentAndClones) {
  TVideoVariable source;
  source.Name = "n";
  source.Directory = "d/";
  source.FileNames = {"a.avi"};
  source.VideoText = "v";
  source.PatientInfo().PatientName = "Berg";
  std::unique_ptr<TBrowseItem> copy = source.Clone();
  auto* video = dynamic_cast<TVideoVariable*>(copy.get());
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->FileNames, source.FileNames);
  EXPECT_EQ(video->VideoText, "v");
  EXPECT_EQ(video->Directory, "d/");
  EXPECT_EQ(video->GetPatientName(), "Berg");
  EXPECT_TRUE(video->IsSame(source));
  EXPECT_EQ(video->Parent(), nullptr);

  TGroup group;
  group.Assign(source);  // the browse-item part only
  EXPECT_EQ(group.Name, "n");
  EXPECT_EQ(group.Directory, "d/");
  TUniquePatientInformation patient;
  EXPECT_THROW(patient.Assign(source), EConvertError);
  EXPECT_THROW(source.Assign(patient), EConvertError);
}

TEST(BrowseItemsTest, ThirtyFourClassesInOrder) {
  RegisterBrowseItemClasses();
  RegisterBrowseItemClasses();
  const std::vector<std::string> expected = {"TVirtualData",
                                             "TCreatedData",
                                             "TPastedData",
                                             "TImportedData",
                                             "TDiscBrowseItem",
                                             "TVariable",
                                             "TSingleFileVariable",
                                             "TPartOfFileVariable",
                                             "TMultipleFileVariable",
                                             "TGroup",
                                             "TFolder",
                                             "TTopFolder",
                                             "TOnlinePatients",
                                             "TKorvetDataBase",
                                             "TPatientLocation",
                                             "TMonitorDataGroup",
                                             "TDrugDoseGroup",
                                             "TPatient",
                                             "TParameterGroup",
                                             "TCatheter",
                                             "TFluvantronicsData",
                                             "TKorvetEventSerie",
                                             "TExternalParameter",
                                             "TSavedSeriesInPlot",
                                             "TSavedCommentInPlot",
                                             "TSavedPlot",
                                             "TSavedSerie",
                                             "TSingleEventSerie",
                                             "TVideoVariable",
                                             "TImageFile",
                                             "TDrugDoseVariable",
                                             "TUnknownFile",
                                             "TRichTextFile",
                                             "TCalculatedParameter"};
  std::vector<std::string> names;
  for (const TBrowseItemClass& item_class : TBrowseItem::ItemClasses()) {
    names.emplace_back(item_class.name);
    std::unique_ptr<TBrowseItem> item = item_class.create();
    EXPECT_EQ(item->ClassName(), item_class.name);
    EXPECT_EQ(item->RecordType(), -18);
    std::unique_ptr<TObject> empty = item->CreateEmpty();
    EXPECT_EQ(empty->ClassName(), item_class.name);
  }
  EXPECT_EQ(names, expected);
}

}  // namespace
