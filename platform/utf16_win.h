// UTF-8 (the control's texts) to and from UTF-16 (the Windows API), Windows only.
#pragma once

#include <string>

namespace ocuvant::platform {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const wchar_t* text, size_t length);
inline std::string WideToUtf8(const std::wstring& text) {
  return WideToUtf8(text.data(), text.size());
}

}  // namespace ocuvant::platform
