// The persistence interface of the data model and its default implementation, with
// the enumerations shared by the data files.
//
// Every persistable class writes one record whose tag is its record type and reads
// its fields back one tag at a time, skipping tags it does not know. Objects live by
// ownership (their container frees them); the interface counts no references.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/object.h"

class TVistaReader;
class TVistaWriter;

enum TQORFileType : int32_t {
  ftUnknown,
  ftData,
  ftTemplate,
  ftAllData,
  ftAllTemplate,
  ftSaveSinglePlot,
  ftScreenAndMemory,
  ftSingleSerie,
  ftMonitorData,
  ftSingleEventSerie,
  ftVideoFileController,
  ftSingleTSerie,
  ftSingleTYYSerie,
  ftSingleTHistogramSerie,
  ftDrugDoseSerie
};

enum TPointMarker : uint8_t {
  pmNone,
  pmCube,
  pmTriangle,
  pmCircle,
  pmStar,
  pmTopTriangle,
  pmPlus,
  pmX,
  pmDiamond
};

enum TAnalyseResult : uint8_t {
  arNormal,
  arUnderDetectionLimit,
  arOverLinearityInterval,
  arUndefined
};

// {56A3152B-8DA8-4008-A580-591C0532CA0A}
class IPersistIT {
 public:
  // References are not counted: both answer -1 and never free the object.
  int32_t _AddRef() { return -1; }
  int32_t _Release() { return -1; }

  // Takes an object read inside this object's record; the object is freed unless
  // the receiver keeps it.
  virtual void AddSubObject(std::unique_ptr<TObject> object) = 0;
  // The object's record has been read completely.
  virtual void ReadDone() = 0;
  // A new, empty instance of the object's own class, or none.
  virtual std::unique_ptr<TObject> CreateEmpty() const = 0;
  // Consumes one field of the object's record (see TVistaReader).
  virtual void ReadField(int32_t tag, TVistaReader& reader) = 0;
  // The record type of the object's class.
  virtual int32_t RecordType() const = 0;
  // Writes the object as one complete record.
  virtual bool WriteTo(TVistaWriter& writer) = 0;

  // Whether the object's ReadField reads the record of Tag itself (as a group of
  // raw values, or by entering it), although Tag may be a record type that the
  // prototype registry knows. A stream parser then offers the tag to ReadField
  // instead of creating an object for it. Offering every tag first would not do:
  // the default ReadField skips what it does not know. None by default.
  virtual bool ReadsOwnRecord(int32_t /*tag*/) const { return false; }

 protected:
  ~IPersistIT() = default;
};

// The object's persistence interface, or none when its class does not implement it.
inline IPersistIT* AsPersistIT(TObject* object) {
  return dynamic_cast<IPersistIT*>(object);
}

// Base of most persistable classes, with the defaults: unknown fields are skipped,
// sub-objects dropped, nothing written, and no record type.
class TPersistIt : public TPersistent, public IPersistIT {
 public:
  std::string_view ClassName() const override { return "TPersistIt"; }

  void AddSubObject(std::unique_ptr<TObject> object) override;
  void ReadDone() override {}
  std::unique_ptr<TObject> CreateEmpty() const override { return nullptr; }
  void ReadField(int32_t tag, TVistaReader& reader) override;
  // Raises "Exception:RecordType not implemented for this class. jhdsa783241".
  int32_t RecordType() const override;
  bool WriteTo(TVistaWriter& writer) override;
};
