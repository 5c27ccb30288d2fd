// The system's Windows-1252 texts at the Qt boundary.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/text_1252.h"

namespace platform::qt {

inline QString ToQString(std::string_view text) {
  const std::u16string utf16 = Win1252ToUtf16(text);
  return QString::fromUtf16(utf16.data(), static_cast<qsizetype>(utf16.size()));
}

inline std::string FromQString(const QString& text) {
  return Utf16ToWin1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                            static_cast<size_t>(text.size())));
}

}  // namespace platform::qt
