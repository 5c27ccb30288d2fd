#include "datafile/QORClassPersist.h"

#include "datafile/QORClassReader.h"
#include "platform/exception.h"

void TPersistIt::AddSubObject(std::unique_ptr<TObject>) {}

void TPersistIt::ReadField(int32_t, TVistaReader& reader) {
  reader.SkipField();
}

int32_t TPersistIt::RecordType() const {
  throw Exception("Exception:RecordType not implemented for this class. jhdsa783241");
}

bool TPersistIt::WriteTo(TVistaWriter&) {
  return true;
}
