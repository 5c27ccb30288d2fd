#include "datamodel/CareEventsPool.h"

#include "datafile/QORFunc.h"
#include "datamodel/CareEventsVisualizers.h"

TCategoryPool::TCategoryPool(TComponent* owner) : TComponent(owner) {
  visualizers_.push_back(std::make_unique<TDefaultCategoryVisualizer>());
}

TCategoryPool::~TCategoryPool() {
  FreeListObjects(categories_);
  FreeListObjects(options_);
  FreeListObjects(events_);
  FreeListObjects(visualizers_);
}
