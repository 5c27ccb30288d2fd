// Care events, categories, option items, treatment targets and the care-event
// items of the browse tree: records against bytes written out by hand, reading
// back through the stream parser, comparison and assignment.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "datafile/QORClassParser.h"
#include "datamodel/CareEvents.h"
#include "datamodel/CareEventsItems.h"
#include "datamodel/CareEventsVisualizers.h"
#include "datamodel/DataModel.h"
#include "datamodel/tests/model_test_support.h"
#include "platform/exception.h"

namespace {

using model_test::Bytes;
using qor_test::MessageOf;
using qor_test::PlainRecord;

class CareEventsTest : public ::testing::Test {
 protected:
  CareEventsTest() : pinned_random_(no_moves_) { RegisterDataModel(); }
  // No prototype moves toward the front while a test runs.
  model_test::FixedRandom no_moves_{0.0};
  platform::ScopedRandomSource pinned_random_;
};

// Fields as the writer stores them, written out by hand.
Bytes StringField(int32_t tag, const std::string& text) {
  return Bytes().I32(tag).Str(text);
}
Bytes ByteField(int32_t tag, uint8_t value) {
  return Bytes().I32(tag).I32(1).U8(value);
}
Bytes EventRecord(int32_t record, const std::string& name, const std::string& caption) {
  return PlainRecord(record, StringField(2012, name).Append(StringField(2013, caption)));
}

template <typename T>
std::unique_ptr<T> Event(const std::string& name, const std::string& caption) {
  auto event = std::make_unique<T>();
  event->Name = name;
  event->Caption = caption;
  return event;
}

std::vector<uint8_t> Written(IPersistIT& object) {
  return model_test::Written([&](TVistaWriter& w) { object.WriteTo(w); });
}

// The objects a stream parser assembles from a plain file of Records.
std::vector<std::unique_ptr<TObject>> Parsed(const Bytes& records) {
  platform::MemoryStream file;
  qor_test::Fill(file, model_test::PlainFile(records));
  TVistaStreamParser parser(nullptr);
  EXPECT_TRUE(parser.Parse(file));
  return parser.TakeResults();
}

template <typename T>
T* As(const std::unique_ptr<TObject>& object) {
  return dynamic_cast<T*>(object.get());
}

TEST_F(CareEventsTest, CategoryRecordAsWrittenByHand) {
  TCareEventSet events;
  events.Add(Event<TSimpleCareEvent>("bolus", "Bolus given"));
  events.Add(Event<TSimpleCareEvent>("stop", "Stopped"));
  TSymbolCategoryVisualizer symbol;
  TCategory category(&events);
  category.Name = "Fluids";
  category.Description = "Fluid therapy";
  category.Momentary = true;
  category.Visualizer = &symbol;
  category.Composite = true;  // not stored
  category.Code = 7;          // not stored
  TTreatmentTarget target;
  target.Text = "MAP 65";
  category.Targets.push_back(&target);  // adds nothing

  const Bytes set = PlainRecord(
      -7, EventRecord(0, "bolus", "Bolus given").Append(EventRecord(0, "stop", "Stopped")));
  Bytes body = StringField(2006, "Fluids");
  body.Append(StringField(2007, "Fluid therapy")).Append(ByteField(2009, 1));
  body.Append(set).Append(PlainRecord(-15, Bytes()));
  EXPECT_EQ(Written(category), PlainRecord(-6, body).vec());

  // A value category writes the same fields under its own record type.
  TValueCategory value_category(&events);
  value_category.Name = "Fluids";
  value_category.Description = "Fluid therapy";
  value_category.Momentary = true;
  value_category.Visualizer = &symbol;
  value_category.ValueName = "ml";
  EXPECT_EQ(Written(value_category), PlainRecord(-8, body).vec());
}

TEST_F(CareEventsTest, MissingReferencesAreLeftOut) {
  TCategory category;
  category.Name = "N";
  EXPECT_EQ(Written(category),
            PlainRecord(
                -6, StringField(2006, "N").Append(StringField(2007, "")).Append(ByteField(2009, 0)))
                .vec());
  TOptionItem item;
  item.Name = "I";
  item.Description = "D";
  EXPECT_EQ(Written(item),
            PlainRecord(-9, StringField(2001, "I").Append(StringField(2002, "D"))).vec());
  // No event set counts as a set without events; a category without one has no
  // caption to show.
  TCareEventSet empty;
  TCategory with_empty_set(&empty);
  with_empty_set.Name = "N";
  EXPECT_TRUE(category.Equals(with_empty_set));
  EXPECT_TRUE(with_empty_set.Equals(category));
  EXPECT_EQ(category.ValueCaption(0), nullptr);
  EXPECT_EQ(MessageOf<EListError>([&] { with_empty_set.ValueCaption(0); }),
            "List index out of bounds (0)");
}

TEST_F(CareEventsTest, CareEventRecords) {
  struct Case {
    std::unique_ptr<TAbstractCareEvent> event;
    int32_t record;
    const char* read_back_as;
  };
  auto value = Event<TValueCareEvent>("v", "Value");
  value->Value = 3.5;
  auto text = Event<TTextEvent>("t", "Text");
  text->Text = "not stored";
  std::vector<Case> cases;
  cases.push_back({Event<TSimpleCareEvent>("s", "Simple"), 0, "TSimpleCareEvent"});
  cases.push_back({std::move(value), 0, "TSimpleCareEvent"});
  cases.push_back({Event<TCustomValueCareEvent>("c", "Custom"), -5, "TCustomValueCareEvent"});
  cases.push_back({std::move(text), 0, "TSimpleCareEvent"});
  for (Case& c : cases) {
    SCOPED_TRACE(std::string(c.event->ClassName()));
    const Bytes record = EventRecord(c.record, c.event->Name, c.event->Caption);
    EXPECT_EQ(Written(*c.event), record.vec());
    const auto results = Parsed(record);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]->ClassName(), c.read_back_as);
    auto* read = As<TAbstractCareEvent>(results[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Name, c.event->Name);
    EXPECT_EQ(read->Caption, c.event->Caption);
  }
  // The abstract classes have no record type.
  TAbstractCareEvent abstract_event;
  EXPECT_EQ(MessageOf<Exception>([&] { Written(abstract_event); }),
            "Exception:RecordType not implemented for this class. jhdsa783241");
  TAbstractOptionItem abstract_item;
  EXPECT_EQ(MessageOf<Exception>([&] { abstract_item.RecordType(); }),
            "Exception:RecordType not implemented for this class. jhdsa783241");
}

TEST_F(CareEventsTest, EventSetRecords) {
  TCareEventSet empty;
  EXPECT_EQ(Written(empty), PlainRecord(-7, Bytes()).vec());

  // The set's own fields are all skipped, its events are taken, anything else is
  // dropped.
  Bytes body = StringField(2012, "not the set's").Append(ByteField(2009, 1));
  body.Append(EventRecord(0, "a", "A"));
  body.Append(PlainRecord(-15, Bytes()));
  body.Append(EventRecord(-5, "b", "B"));
  const auto results = Parsed(PlainRecord(-7, body));
  ASSERT_EQ(results.size(), 1u);
  auto* set = As<TCareEventSet>(results[0]);
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(set->Count(), 2);
  EXPECT_EQ(set->Event(0).Name, "a");
  EXPECT_EQ(set->Event(1).ClassName(), "TCustomValueCareEvent");
  EXPECT_EQ(MessageOf<EListError>([&] { set->Event(2); }), "List index out of bounds (2)");
  EXPECT_EQ(MessageOf<EListError>([&] { set->Event(-1); }), "List index out of bounds (-1)");
}

TEST_F(CareEventsTest, CategoryReadBackThroughTheParser) {
  for (bool checksums : {false, true}) {
    SCOPED_TRACE(checksums);
    TCareEventSet events;
    events.Add(Event<TSimpleCareEvent>("a", "A"));
    events.Add(Event<TCustomValueCareEvent>("b", "B"));
    TTextCategoryVisualizer texts;
    texts.Texts = {"one", "two"};
    TValueCategory category(&events);
    category.Name = "Drugs";
    category.Description = "Given";
    category.Visualizer = &texts;
    TOptionItem item;
    item.Name = "Item";
    item.Category = &category;
    TCompositeOption inner;
    inner.Name = "Inner";
    TCompositeOption outer;
    outer.Name = "Outer";
    outer.Description = "Top";

    platform::MemoryStream file;
    model_test::WriteFile(file, checksums, [&](TVistaWriter& w) {
      item.WriteTo(w);
      outer.WriteTo(w);
    });
    TVistaStreamParser parser(nullptr);
    EXPECT_TRUE(parser.Parse(file));
    ASSERT_EQ(parser.Results().size(), 2u);
    auto* read_item = As<TOptionItem>(parser.Results()[0]);
    ASSERT_NE(read_item, nullptr);
    EXPECT_EQ(read_item->Name, "Item");
    ASSERT_NE(read_item->Category, nullptr);
    auto* read_category = dynamic_cast<TValueCategory*>(read_item->Category);
    ASSERT_NE(read_category, nullptr);
    EXPECT_TRUE(read_category->Equals(category));
    ASSERT_NE(read_category->EventSet, nullptr);
    EXPECT_EQ(read_category->EventSet->Event(1).ClassName(), "TCustomValueCareEvent");
    auto* read_texts = dynamic_cast<TTextCategoryVisualizer*>(read_category->Visualizer);
    ASSERT_NE(read_texts, nullptr);
    EXPECT_EQ(read_texts->Texts, texts.Texts);
    auto* read_outer = As<TCompositeOption>(parser.Results()[1]);
    ASSERT_NE(read_outer, nullptr);
    EXPECT_EQ(read_outer->Description, "Top");
    EXPECT_TRUE(read_outer->Items().empty());
  }
}

TEST_F(CareEventsTest, CompositeOptionsNest) {
  auto category = std::make_unique<TCategory>();
  category->Name = "C";
  auto item = std::make_unique<TOptionItem>();
  item->Name = "leaf";
  item->Category = category.get();
  auto inner = std::make_unique<TCompositeOption>();
  inner->Name = "inner";
  TOptionItem* leaf = item.get();
  inner->Add(std::move(item));
  TCompositeOption outer;
  outer.Name = "outer";
  TAbstractOptionItem* inner_raw = outer.Add(std::move(inner));
  EXPECT_EQ(leaf->Parent, inner_raw);
  EXPECT_EQ(inner_raw->Parent, &outer);
  EXPECT_EQ(outer.NestingDepth(), 2);

  const Bytes leaf_record = PlainRecord(
      -9,
      StringField(2001, "leaf")
          .Append(StringField(2002, ""))
          .Append(PlainRecord(
              -6,
              StringField(2006, "C").Append(StringField(2007, "")).Append(ByteField(2009, 0)))));
  const Bytes inner_record = PlainRecord(
      -14, StringField(2001, "inner").Append(StringField(2002, "")).Append(leaf_record));
  const Bytes outer_record = PlainRecord(
      -14, StringField(2001, "outer").Append(StringField(2002, "")).Append(inner_record));
  EXPECT_EQ(Written(outer), outer_record.vec());

  const auto results = Parsed(outer_record);
  ASSERT_EQ(results.size(), 1u);
  auto* read = As<TCompositeOption>(results[0]);
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->Items().size(), 1u);
  auto* read_inner = dynamic_cast<TCompositeOption*>(read->Items()[0].get());
  ASSERT_NE(read_inner, nullptr);
  EXPECT_EQ(read_inner->Parent, read);
  ASSERT_EQ(read_inner->Items().size(), 1u);
  auto* read_leaf = dynamic_cast<TOptionItem*>(read_inner->Items()[0].get());
  ASSERT_NE(read_leaf, nullptr);
  EXPECT_EQ(read_leaf->Parent, read_inner);
  ASSERT_NE(read_leaf->Category, nullptr);
  EXPECT_EQ(read_leaf->Category->Name, "C");
}

TEST_F(CareEventsTest, OptionListsNestedWithoutEndAreCut) {
  // Thousands of composites, each inside the one before: the tree keeps only the
  // outer levels, and everything is freed without running out of stack.
  constexpr int kLevels = 5000;
  Bytes records = PlainRecord(-14, StringField(2001, "innermost"));
  for (int i = 0; i < kLevels; ++i)
    records = PlainRecord(-14, records);
  const auto results = Parsed(records);
  ASSERT_EQ(results.size(), 1u);
  auto* top = As<TCompositeOption>(results[0]);
  ASSERT_NE(top, nullptr);
  int depth = 1;
  for (const TCompositeOption* level = top; !level->Items().empty(); ++depth)
    level = dynamic_cast<const TCompositeOption*>(level->Items()[0].get());
  EXPECT_EQ(depth, top->NestingDepth());
  EXPECT_GT(depth, 1);
  EXPECT_LT(depth, TCompositeOption::kMaxNesting);
}

// Levels composites deep around one option: a list as deep as kMaxNesting is taken
// whole; one level more, the outer list takes nothing of what it holds.
TEST_F(CareEventsTest, OptionListsAreTakenUpToTheirNestingLimit) {
  const struct {
    int levels;
    int32_t depth;  // of the outer list as read
  } cases[] = {{TCompositeOption::kMaxNesting, TCompositeOption::kMaxNesting},
               {TCompositeOption::kMaxNesting + 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.levels);
    Bytes records = PlainRecord(-14, PlainRecord(-9, StringField(2001, "leaf")));
    for (int i = 1; i < c.levels; ++i)
      records = PlainRecord(-14, records);
    const auto results = Parsed(records);
    ASSERT_EQ(results.size(), 1u);
    auto* top = As<TCompositeOption>(results[0]);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->NestingDepth(), c.depth);
    const TCompositeOption* level = top;
    for (int i = 1; i < c.depth; ++i) {
      ASSERT_EQ(level->Items().size(), 1u);
      level = dynamic_cast<const TCompositeOption*>(level->Items()[0].get());
      ASSERT_NE(level, nullptr);
    }
    if (c.depth == c.levels) {
      ASSERT_EQ(level->Items().size(), 1u);
      EXPECT_NE(dynamic_cast<const TOptionItem*>(level->Items()[0].get()), nullptr);
    } else {
      EXPECT_TRUE(level->Items().empty());
    }
  }
}

TEST_F(CareEventsTest, Equality) {
  // Events: the same class and equal texts, values and texts.
  EXPECT_TRUE(Event<TSimpleCareEvent>("a", "A")->Equals(*Event<TSimpleCareEvent>("a", "A")));
  EXPECT_FALSE(Event<TSimpleCareEvent>("a", "A")->Equals(*Event<TSimpleCareEvent>("a", "a")));
  EXPECT_FALSE(Event<TSimpleCareEvent>("a", "A")->Equals(*Event<TValueCareEvent>("a", "A")));
  auto v1 = Event<TValueCareEvent>("a", "A");
  auto v2 = Event<TValueCareEvent>("a", "A");
  v2->Value = 1;
  EXPECT_FALSE(v1->Equals(*v2));
  v1->Value = 1;
  EXPECT_TRUE(v1->Equals(*v2));
  auto t1 = Event<TTextEvent>("a", "A");
  auto t2 = Event<TTextEvent>("a", "A");
  t1->Text = "x";
  EXPECT_FALSE(t1->Equals(*t2));

  // Categories: targets in any order, but as many of them.
  TTreatmentTarget a;
  a.Text = "a";
  TTreatmentTarget b;
  b.Text = "b";
  TTreatmentTarget b2;
  b2.Text = "b";
  TCategory first;
  TCategory second;
  first.Targets = {&a, &b};
  second.Targets = {&b2, &a};
  EXPECT_TRUE(first.Equals(second));
  second.Targets.push_back(&a);
  EXPECT_FALSE(first.Equals(second));
  EXPECT_FALSE(second.Equals(first));
  second.Targets.pop_back();

  // Code and visualizer are not compared; the other fields are.
  TSymbolCategoryVisualizer symbol;
  second.Code = 3;
  second.Visualizer = &symbol;
  EXPECT_TRUE(first.Equals(second));
  second.Composite = true;
  EXPECT_FALSE(first.Equals(second));
  second.Composite = false;

  // The event sets: as many events, each equal to the one at its index.
  TCareEventSet one;
  one.Add(Event<TSimpleCareEvent>("a", "A"));
  TCareEventSet other;
  other.Add(Event<TSimpleCareEvent>("a", "A"));
  first.EventSet = &one;
  second.EventSet = &other;
  EXPECT_TRUE(first.Equals(second));
  other.Add(Event<TSimpleCareEvent>("b", "B"));
  EXPECT_FALSE(first.Equals(second));

  // A value category also wants a value category with the same value fields.
  TValueCategory value_first;
  TValueCategory value_second;
  EXPECT_TRUE(value_first.Equals(value_second));
  value_second.ValueKind = 2;
  EXPECT_FALSE(value_first.Equals(value_second));
  EXPECT_FALSE(value_first.Equals(TCategory()));
  EXPECT_TRUE(TCategory().Equals(value_first));
}

TEST_F(CareEventsTest, Assignment) {
  // A set of two assigned to a set of one leaves three, copies of the same classes.
  TCareEventSet source;
  source.Add(Event<TSimpleCareEvent>("a", "A"));
  auto value = Event<TValueCareEvent>("v", "V");
  value->Value = 2.5;
  source.Add(std::move(value));
  TCareEventSet dest;
  dest.Add(Event<TSimpleCareEvent>("old", "Old"));
  dest.Assign(source);
  ASSERT_EQ(dest.Count(), 3);
  EXPECT_EQ(dest.Event(0).Name, "old");
  EXPECT_TRUE(dest.Event(1).Equals(source.Event(0)));
  EXPECT_TRUE(dest.Event(2).Equals(source.Event(1)));
  EXPECT_NE(&dest.Event(2), &source.Event(1));
  // Assigned to itself, each event is there twice.
  source.Assign(source);
  EXPECT_EQ(source.Count(), 4);
  TCategory not_a_set;
  EXPECT_EQ(MessageOf<EConvertError>([&] { not_a_set.Assign(source); }),
            "Cannot assign a TCareEventSet to a TCategory");

  // Events copy what the target has; any other target is left without an error.
  TTextEvent text;
  text.Assign(*Event<TValueCareEvent>("n", "C"));
  EXPECT_EQ(text.Name, "n");
  EXPECT_EQ(text.Caption, "C");
  TTreatmentTarget target;
  target.Text = "kept";
  target.Assign(*Event<TSimpleCareEvent>("n", "C"));
  EXPECT_EQ(target.Text, "kept");
  TTreatmentTarget other_target;
  other_target.Assign(target);
  EXPECT_EQ(other_target.Text, "kept");

  // Categories copy their own fields, not the references.
  TCareEventSet events;
  TSymbolCategoryVisualizer symbol;
  TValueCategory category(&events);
  category.Code = 4;
  category.Name = "N";
  category.Description = "D";
  category.Composite = true;
  category.Momentary = true;
  category.Visualizer = &symbol;
  category.Targets.push_back(&target);
  category.ValueName = "mg";
  category.ValueKind = 1;
  TValueCategory copy;
  copy.Assign(category);
  EXPECT_EQ(copy.Code, 4);
  EXPECT_TRUE(copy.Composite);
  EXPECT_EQ(copy.ValueName, "mg");
  EXPECT_EQ(copy.EventSet, nullptr);
  EXPECT_EQ(copy.Visualizer, nullptr);
  EXPECT_TRUE(copy.Targets.empty());
  TCategory plain;
  plain.Assign(category);
  EXPECT_EQ(plain.Name, "N");
  EXPECT_EQ(MessageOf<EConvertError>([&] { target.Assign(category); }),
            "Cannot assign a TValueCategory to a TTreatmentTarget");
  TOptionItem item;
  EXPECT_EQ(MessageOf<EConvertError>([&] { item.Assign(category); }),
            "Cannot assign a TValueCategory to a TOptionItem");

  // Option items copy their name and description.
  TCompositeOption composite;
  composite.Name = "menu";
  composite.Description = "a menu";
  item.Assign(composite);
  EXPECT_EQ(item.Name, "menu");
  EXPECT_EQ(item.Description, "a menu");
  EXPECT_EQ(MessageOf<EConvertError>([&] { category.Assign(item); }),
            "Cannot assign a TOptionItem to a TValueCategory");
}

TEST_F(CareEventsTest, FieldsOfOtherTagsAndObjectsOfOtherClassesAreSkipped) {
  Bytes body = Bytes().I32(5000).I32(4).I32(99);  // unknown
  body.Append(StringField(2006, "Name"));
  body.Append(StringField(2001, "an option's name"));
  body.Append(EventRecord(0, "lone", "Lone event"));  // not a set: dropped
  body.Append(PlainRecord(-6, Bytes()));              // not taken
  body.Append(ByteField(2009, 1));
  const auto results = Parsed(PlainRecord(-6, body));
  ASSERT_EQ(results.size(), 1u);
  auto* category = As<TCategory>(results[0]);
  ASSERT_NE(category, nullptr);
  EXPECT_EQ(category->Name, "Name");
  EXPECT_TRUE(category->Momentary);
  EXPECT_EQ(category->EventSet, nullptr);
  EXPECT_TRUE(category->Targets.empty());

  // A category handed a target keeps it.
  category->AddSubObject(std::make_unique<TTreatmentTarget>());
  EXPECT_EQ(category->Targets.size(), 1u);
}

TEST_F(CareEventsTest, BrowseTreeItems) {
  struct Case {
    std::unique_ptr<TBrowseItem> item;
    int32_t record;
    const char* caption;
    int32_t image;
    int32_t state;
    bool container;
  };
  std::vector<Case> cases;
  cases.push_back({std::make_unique<TCareEventFile>(), -20, "Care", 41, 10, true});
  cases.push_back({std::make_unique<TCareEventCategory>(), -19, "Kategori XXX", 8, 1, false});
  cases.push_back({std::make_unique<TManualEntries>(), -22, "Care", 41, 10, true});
  cases.push_back({std::make_unique<TManualEntry>(), -21, "Inmatning X", 8, 1, false});
  for (Case& c : cases) {
    SCOPED_TRACE(c.record);
    EXPECT_EQ(c.item->RecordType(), c.record);
    EXPECT_EQ(c.item->GetCaption(), c.caption);
    EXPECT_EQ(c.item->ImageIndex(), c.image);
    EXPECT_EQ(c.item->StateIndex(), c.state);
    EXPECT_EQ(c.item->IsContainer != 0, c.container);
    c.item->PatientInfo().PatientName = "Berg";
    c.item->ParameterInfo().SetParameterName("HR");
    // The two identity records, under the item's own record type.
    const std::vector<uint8_t> written = model_test::Written([&](TVistaWriter& w) {
      c.item->PatientInfo().WriteTo(w);
      c.item->ParameterInfo().WriteTo(w);
    });
    const Bytes identities = Bytes().Raw(written.data(), written.size());
    const Bytes record = PlainRecord(c.record, identities);
    EXPECT_EQ(model_test::Written([&](TVistaWriter& w) { c.item->WriteTo(w); }), record.vec());
    const auto results = Parsed(record);
    ASSERT_EQ(results.size(), 1u);
    auto* read = As<TBrowseItem>(results[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->ClassName(), c.item->ClassName());
    EXPECT_EQ(read->GetPatientName(), "Berg");
    EXPECT_EQ(read->ParameterInfo().ParameterName(), "HR");
    auto empty = c.item->CreateEmpty();
    EXPECT_EQ(empty->ClassName(), c.item->ClassName());
    EXPECT_EQ(As<TBrowseItem>(empty)->Parent(), nullptr);
  }
}

// Levels items deep, a manual entry innermost: a tree as high as kMaxCareItemNesting
// is taken whole; one level more, the outer item takes no child.
TEST_F(CareEventsTest, BrowseItemsAreTakenUpToTheirNestingLimit) {
  const struct {
    int levels;
    int32_t height;  // of the outer item as read
  } cases[] = {{kMaxCareItemNesting, kMaxCareItemNesting}, {kMaxCareItemNesting + 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.levels);
    Bytes records = PlainRecord(-21, Bytes());
    for (int i = 1; i < c.levels; ++i)
      records = PlainRecord(i % 2 ? -22 : -20, records);
    const auto results = Parsed(records);
    ASSERT_EQ(results.size(), 1u);
    auto* top = As<TBrowseItem>(results[0]);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(BrowseTreeHeight(*top, 1000), c.height);
  }
}

TEST_F(CareEventsTest, BrowseItemsNestedWithoutEndAreCut) {
  constexpr int kLevels = 5000;
  Bytes records = PlainRecord(-21, Bytes());
  for (int i = 0; i < kLevels; ++i)
    records = PlainRecord(i % 2 ? -20 : -22, records);
  const auto results = Parsed(records);
  ASSERT_EQ(results.size(), 1u);
  auto* top = As<TBrowseItem>(results[0]);
  ASSERT_NE(top, nullptr);
  const int32_t height = BrowseTreeHeight(*top, 1000);
  EXPECT_GT(height, 1);
  EXPECT_LT(height, kMaxCareItemNesting);

  // Items side by side are all taken.
  Bytes siblings;
  for (int i = 0; i < 100; ++i)
    siblings.Append(PlainRecord(-21, Bytes()));
  const auto flat = Parsed(PlainRecord(-20, siblings));
  ASSERT_EQ(flat.size(), 1u);
  EXPECT_EQ(As<TBrowseItem>(flat[0])->Children().size(), 100u);
}

TEST_F(CareEventsTest, TheUnitsPrototypes) {
  RegisterCareEventPrototypes();  // once only
  const TPrototypeRegistry& registry = TVistaStreamParser::Prototypes();
  std::vector<std::string> names;
  for (size_t i = 0; i < registry.Count(); ++i)
    names.emplace_back(registry.At(i).ClassName());
  // Nothing of this test moves a prototype; others may have, by one place now and
  // then, so the set is checked rather than the order.
  const std::vector<std::string> expected = {"TUniquePatientInformation",
                                             "TUniqueParameterInformation",
                                             "TSerieObjectQuickSave",
                                             "TSerie",
                                             "TXYPoint",
                                             "TCareEventSet",
                                             "TCategory",
                                             "TValueCategory",
                                             "TOptionItem",
                                             "TCompositeOption",
                                             "TSymbolCategoryVisualizer",
                                             "TSimpleCareEvent",
                                             "TValueCareEvent",
                                             "TCustomValueCareEvent",
                                             "TTextEvent",
                                             "TTextCategoryVisualizer",
                                             "TCategorySeries",
                                             "TCategoryPoint",
                                             "TCompositeCategoryPoint",
                                             "TCustomCategoryPoint",
                                             "TCareEventFile",
                                             "TCareEventCategory",
                                             "TManualEntries",
                                             "TManualEntry",
                                             "TTreatmentTarget"};
  ASSERT_EQ(names.size(), 25u);
  EXPECT_EQ(std::multiset<std::string>(names.begin(), names.end()),
            std::multiset<std::string>(expected.begin(), expected.end()));

  // Record type 0 yields a simple care event; the default visualizer is not there.
  EXPECT_EQ(TVistaStreamParser::CreateByRecordType(0)->ClassName(), "TSimpleCareEvent");
  EXPECT_EQ(TVistaStreamParser::CreateByRecordType(-16), nullptr);
  for (int32_t record :
       {-7, -6, -8, -9, -14, -15, -5, -12, -13, 2015, 2016, 2017, -20, -19, -22, -21}) {
    SCOPED_TRACE(record);
    std::unique_ptr<TObject> object = TVistaStreamParser::CreateByRecordType(record);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(AsPersistIT(object.get())->RecordType(), record);
  }
}

}  // namespace
