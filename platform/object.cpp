#include "platform/object.h"

#include "platform/exception.h"

void TPersistent::Assign(const TPersistent& source) {
  source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const {
  dest.AssignError(this);
}

void TPersistent::AssignError(const TPersistent* source) const {
  const std::string source_name = source ? std::string(source->ClassName()) : "nil";
  throw EConvertError("Cannot assign a " + source_name + " to a " + std::string(ClassName()));
}
