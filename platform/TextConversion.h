#pragma once
// UTF-8 <-> wide text (MultiByteToWideChar / WideCharToMultiByte with code page 65001 on Windows).
// wchar_t is UTF-16 on Windows and UTF-32 on POSIX; both directions handle either width.
// Malformed UTF-8 sequences become U+FFFD.

#include <string>

namespace platform {

std::wstring utf8ToWide(const std::string& text);
std::string wideToUtf8(const std::wstring& text);

}  // namespace platform
