#include "datamodel/Series_CSpecial.h"

// The specialised series classes are not built yet; when they are, each registers
// here with RegisterSerieClass(SerieClassOf<T>()) in the order of the header.
void RegisterSpecialisedSerieClasses() {}
