// The data model's start-up: every registration the data model makes, in the order
// the program's units start. Call it before any file is read; it runs once, and
// later calls do nothing.
#pragma once

// In order: the identity records' two prototypes; the axis unit's shared values;
// the series unit (nine series classes and two prototypes); the point unit's
// prototype; the care-event unit's twenty prototypes; the browse-item classes; the
// shared graphics settings; the duration unit's two-digit-year window.
void RegisterDataModel();
