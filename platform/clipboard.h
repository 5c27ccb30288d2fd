// Clipboard formats registered by name, in the manner of RegisterClipboardFormatA:
// the programs of the family exchange objects under formats they agree on by name.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// The identifier of the format Name, from 0xC000 upwards; the same identifier for
// the same name whatever its case. 0 for an empty name or when the table of
// identifiers is full.
uint16_t RegisterClipboardFormat(std::string_view name);

}  // namespace platform
