#include "datamodel/CareEvents.h"

// The care-event classes are not built yet; when they are, their prototypes are
// registered here, once, in the order of the header.
void RegisterCareEventPrototypes() {}
