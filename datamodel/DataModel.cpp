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
  RegisterIdentityPrototypes();
  InitAxisUnit();
  RegisterSeriesUnit();
  RegisterPointPrototypes();
  RegisterCareEventPrototypes();
  RegisterBrowseItemClasses();
  InitGraphicsSettings();
  InitDurationUnit();
}
