#include "datafile/QORClassParser.h"

#include <utility>

#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "platform/random.h"

namespace {

constexpr int32_t kTag2019 = 2019;
// A hit moves one place toward the front when a uniform draw exceeds this.
constexpr double kTranspositionThreshold = 0.999;

}  // namespace

// ---------------------------------------------------------------------------
// TPrototypeRegistry

void TPrototypeRegistry::Register(std::unique_ptr<TObject> prototype) {
  prototypes_.push_back(std::move(prototype));
}

std::unique_ptr<TObject> TPrototypeRegistry::CreateByRecordType(int32_t record_type) {
  for (size_t i = 0; i < prototypes_.size(); ++i) {
    IPersistIT* intf = AsPersistIT(prototypes_[i].get());
    if (!intf || intf->RecordType() != record_type) continue;
    std::unique_ptr<TObject> result = intf->CreateEmpty();
    if (i > 0 && platform::Random().Uniform() > kTranspositionThreshold)
      std::swap(prototypes_[i], prototypes_[i - 1]);
    return result;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// TVistaStreamParser

TVistaStreamParser::TVistaStreamParser(TComponent* owner)
    : TComponent(owner),
      reader_(std::make_unique<TVistaReader>()),
      writer_(std::make_unique<TVistaWriter>()) {
  writer_->SetUseChecksums(true);
  reader_->SetOnFoldingEnd([this](TVistaReader& sender, uint8_t checksum_byte, bool ok) {
    FoldingEnded(sender, checksum_byte, ok);
  });
}

TVistaStreamParser::~TVistaStreamParser() {
  Clear();
}

TPrototypeRegistry& TVistaStreamParser::Prototypes() {
  static TPrototypeRegistry registry;
  return registry;
}

void TVistaStreamParser::RegisterPrototype(std::unique_ptr<TObject> prototype) {
  Prototypes().Register(std::move(prototype));
}

std::unique_ptr<TObject> TVistaStreamParser::CreateByRecordType(int32_t record_type) {
  return Prototypes().CreateByRecordType(record_type);
}

IPersistIT& TVistaStreamParser::InterfaceOf(TObject& object) {
  IPersistIT* intf = AsPersistIT(&object);
  if (!intf) throw Exception("Exception:Could not get Interface. daiu873");
  return *intf;
}

void TVistaStreamParser::Clear() {
  current_intf_ = nullptr;
  object_stack_.clear();
  results_.clear();
}

void TVistaStreamParser::PushObject(std::unique_ptr<TObject> object) {
  IPersistIT& intf = InterfaceOf(*object);
  object_stack_.push_back({std::move(object), reader_->Depth()});
  current_intf_ = &intf;
}

void TVistaStreamParser::FoldingEnded(TVistaReader& sender, uint8_t, bool) {
  if (object_stack_.empty()) {
    current_intf_ = nullptr;
    return;
  }
  // The reader reports the end after closing the record, so the depth has already
  // dropped below that of the record that ended. A record that an object entered
  // itself lies deeper than the object's own and leaves the object open.
  const int32_t depth = object_stack_.back().depth;
  if (depth == 0 || sender.Depth() < depth) PopObject();
}

void TVistaStreamParser::PopObject() {
  if (object_stack_.empty()) return;
  if (current_intf_) current_intf_->ReadDone();
  std::unique_ptr<TObject> object = std::move(object_stack_.back().object);
  object_stack_.pop_back();
  if (object_stack_.empty()) {
    results_.push_back(std::move(object));
    current_intf_ = nullptr;
    return;
  }
  current_intf_ = &InterfaceOf(*object_stack_.back().object);
  current_intf_->AddSubObject(std::move(object));
}

bool TVistaStreamParser::InsideRecordOfCurrentObject() const {
  if (object_stack_.empty()) return false;
  const int32_t depth = object_stack_.back().depth;
  return depth > 0 && reader_->Depth() > depth;
}

void TVistaStreamParser::ParseRecord(void* user_data, int32_t tag, TVistaReader& reader) {
  auto& self = *static_cast<TVistaStreamParser*>(user_data);
  // Inside a record that the current object entered, or for a record that it
  // reads itself, the tag is the object's to read, whatever the registry knows.
  const bool objects_own = self.InsideRecordOfCurrentObject() ||
                           (self.current_intf_ && self.current_intf_->ReadsOwnRecord(tag));
  if (!objects_own) {
    if (std::unique_ptr<TObject> object = CreateByRecordType(tag)) {
      reader.BeginFolding(tag);
      TObject& created = *object;
      self.PushObject(std::move(object));
      reader.SetCurrentObject(&created);
      if (self.on_object_created_) self.on_object_created_(self, created);
      return;
    }
  }
  IPersistIT& target = self.current_intf_ ? *self.current_intf_ : self;
  target.ReadField(tag, reader);
}

bool TVistaStreamParser::Parse(platform::Stream& stream) {
  Clear();
  const bool result = reader_->Read(stream, &ParseRecord, this);
  // In a plain file the reader closes only the innermost of the records that end
  // with the stream; the objects of the others are complete all the same.
  while (!object_stack_.empty() && !reader_->Stopped())
    PopObject();
  return result;
}

std::unique_ptr<TObject> TVistaStreamParser::CreateEmpty() const {
  return std::make_unique<TVistaStreamParser>(nullptr);
}

void TVistaStreamParser::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == kTag2019) {
    tag2019_text_ = reader.ReadStringField();
  } else {
    reader.SkipField();
  }
}
