// The prototype registry, which turns a record type into a new, empty object of
// the right class, and the stream parser, which assembles the objects read from a
// stream into trees.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/QORClassPersist.h"
#include "platform/object.h"

namespace platform {
class Stream;
}
class TVistaReader;
class TVistaWriter;

// One prototype of each persistable class, in registration order. A lookup asks the
// first prototype of the record type for an empty sibling; a prototype that is asked
// for often drifts toward the front, one place per thousand hits or so, which keeps
// the common lookups short without a second index.
class TPrototypeRegistry {
 public:
  // The registry owns the prototype from then on.
  void Register(std::unique_ptr<TObject> prototype);
  // A new object of the first prototype with that record type, or none.
  std::unique_ptr<TObject> CreateByRecordType(int32_t record_type);

  size_t Count() const { return prototypes_.size(); }
  const TObject& At(size_t index) const { return *prototypes_[index]; }

 private:
  std::vector<std::unique_ptr<TObject>> prototypes_;
};

class TVistaStreamParser;
using TVistaObjectCreatedEvent =
    std::function<void(TVistaStreamParser& sender, TObject& new_object)>;

class TVistaStreamParser : public TComponent, public IPersistIT {
 public:
  explicit TVistaStreamParser(TComponent* owner);
  ~TVistaStreamParser() override;
  std::string_view ClassName() const override { return "TVistaStreamParser"; }

  // The program's registry, which lives until the program ends.
  static TPrototypeRegistry& Prototypes();
  static void RegisterPrototype(std::unique_ptr<TObject> prototype);
  static std::unique_ptr<TObject> CreateByRecordType(int32_t record_type);

  // Published properties.
  std::string About() const { return "Project: Vorta (Wardvorta, Benchvorta)  Version: 1.2.0.15"; }
  void SetAbout(std::string_view) {}
  void SetOnObjectCreated(TVistaObjectCreatedEvent event) { on_object_created_ = std::move(event); }

  // Reads Stream from its position and assembles its objects: a record whose tag
  // is a record type with a prototype becomes a new object, pushed and made
  // current, and the record's fields go to that object's ReadField; when its
  // record closes, the object goes to its parent's AddSubObject, or to Results at
  // the outermost level. Fields outside any object go to the parser's own
  // ReadField.
  //
  // An object may read some of its sub-records itself: those whose tags it claims
  // with ReadsOwnRecord (read as groups of raw values, say, though their tags are
  // registered record types), and any record its ReadField enters with
  // BeginFolding. Everything inside a record the object entered goes to the
  // object's ReadField too, and only the end of a record the parser opened closes
  // an object. Objects whose records end with the stream are complete when it
  // ends. Starts with Clear; returns the reader's result.
  bool Parse(platform::Stream& stream);

  // Makes Object the innermost open object; it needs the persistence interface
  // ("Exception:Could not get Interface. daiu873" otherwise). Its record is the
  // reader's innermost open one; an object pushed while the reader has no record
  // open is closed by the next record end of any depth.
  void PushObject(std::unique_ptr<TObject> object);
  // The reader's end-of-record event: closes the innermost object when the record
  // that ended is that object's own.
  void FoldingEnded(TVistaReader& sender, uint8_t checksum_byte, bool checksum_ok);
  // ReadDone on the innermost object, which then goes to its parent or to Results.
  void PopObject();
  // Drops the current object, frees the objects still open, empties Results.
  void Clear();

  const std::vector<std::unique_ptr<TObject>>& Results() const { return results_; }
  std::vector<std::unique_ptr<TObject>> TakeResults() { return std::move(results_); }
  size_t OpenObjects() const { return object_stack_.size(); }
  IPersistIT* CurrentIntf() const { return current_intf_; }
  const std::string& Tag2019Text() const { return tag2019_text_; }
  TVistaReader& Reader() { return *reader_; }
  TVistaWriter& Writer() { return *writer_; }

  // IPersistIT
  void AddSubObject(std::unique_ptr<TObject>) override {}
  void ReadDone() override {}
  std::unique_ptr<TObject> CreateEmpty() const override;
  void ReadField(int32_t tag, TVistaReader& reader) override;
  int32_t RecordType() const override { return -1; }
  bool WriteTo(TVistaWriter&) override { return true; }

 private:
  static void ParseRecord(void* user_data, int32_t tag, TVistaReader& reader);
  static IPersistIT& InterfaceOf(TObject& object);

  // An open object and the reader's depth inside its record (0: pushed with no
  // record open).
  struct OpenObject {
    std::unique_ptr<TObject> object;
    int32_t depth = 0;
  };

  // Whether the reader is inside a sub-record that the innermost object entered
  // itself, rather than directly in that object's own record.
  bool InsideRecordOfCurrentObject() const;

  IPersistIT* current_intf_ = nullptr;
  std::unique_ptr<TVistaReader> reader_;
  std::unique_ptr<TVistaWriter> writer_;
  std::vector<OpenObject> object_stack_;
  TVistaObjectCreatedEvent on_object_created_;
  std::vector<std::unique_ptr<TObject>> results_;
  std::string tag2019_text_;
};
