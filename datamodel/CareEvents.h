// Care events: categories, option items, care events and their visualizers, the
// category series and the care-event items of the browse tree.
#pragma once

// Registers the care-event unit's twenty prototypes with the prototype registry, in
// this order: TCareEventSet, TCategory, TValueCategory, TOptionItem,
// TCompositeOption, TSymbolCategoryVisualizer, TSimpleCareEvent, TValueCareEvent,
// TCustomValueCareEvent, TTextEvent, TTextCategoryVisualizer, TCategorySeries,
// TCategoryPoint, TCompositeCategoryPoint, TCustomCategoryPoint, TCareEventFile,
// TCareEventCategory, TManualEntries, TManualEntry, TTreatmentTarget. Once; the
// data model's start calls it after the point unit's.
void RegisterCareEventPrototypes();
