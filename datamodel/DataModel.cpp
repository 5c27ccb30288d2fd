#include "datamodel/DataModel.h"

#include "datafile/QORClassIdentity.h"
#include "datamodel/Axis.h"
#include "datamodel/BrowserItems.h"
#include "datamodel/CareEvents.h"
#include "datamodel/Duration.h"
#include "datamodel/GraphicsSettings.h"
#include "datamodel/PointsU.h"
#include "datamodel/Series_C.h"

void RegisterDataModel() {
  // The units start once, however often this is called (every save component calls
  // it): a later call must not undo what the program changed since, such as the
  // two-digit-year window.
  static const bool started = [] {
    RegisterIdentityPrototypes();
    InitAxisUnit();
    RegisterSeriesUnit();
    RegisterPointPrototypes();
    RegisterCareEventPrototypes();
    RegisterBrowseItemClasses();
    InitGraphicsSettings();
    InitDurationUnit();
    return true;
  }();
  (void)started;
}
