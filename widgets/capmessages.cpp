#include "widgets/capmessages.h"

#include <algorithm>
#include <iterator>

namespace {

struct Source {
  int32_t number;
  const platform::ResourceString* text;
};

// Sorted by number: Find searches it in halves.
constexpr Source kSources[] = {
    {kCapMsgYes, &SCapYesChar},
    {kCapMsgNo, &SCapNoChar},
    {kCapMsgTrue, &SCapTrueChar},
    {kCapMsgFalse, &SCapFalseChar},
};

}  // namespace

void TCapMessageTable::Load() {
  entries_.clear();
  entries_.reserve(std::size(kSources));
  for (const Source& source : kSources)
    entries_.push_back(Entry{source.number, platform::LoadResString(*source.text)});
}

const std::string* TCapMessageTable::Lookup(int32_t number) const {
  const auto found =
      std::lower_bound(entries_.begin(), entries_.end(), number,
                       [](const Entry& entry, int32_t wanted) { return entry.number < wanted; });
  if (found == entries_.end() || found->number != number) return nullptr;
  return &found->text;
}

std::string TCapMessageTable::Find(int32_t number) const {
  const std::string* text = Lookup(number);
  return text ? *text : std::string();
}

std::string TCapMessageTable::FindIntl(int32_t number) const {
  const std::string* text = Lookup(number);
  return text ? *text : platform::LoadResString(SCapUnknownMessage);
}
