// File names for the Windows API: the program keeps them in UTF-8, Windows
// takes them in UTF-16.
#pragma once

#include <string>

namespace ombrisk {

// The UTF-16 form of a UTF-8 name; empty when the name is empty or not UTF-8.
std::wstring windows_path(const std::string& utf8);

}  // namespace ombrisk
