#include "datamodel/CareEventsItems.h"

#include <algorithm>

int32_t BrowseTreeHeight(const TBrowseItem& item, int32_t limit) {
  if (limit <= 1) return 1;
  int32_t below = 0;
  for (const auto& child : item.Children()) {
    below = std::max(below, BrowseTreeHeight(*child, limit - 1));
    if (below >= limit - 1) break;
  }
  return below + 1;
}
