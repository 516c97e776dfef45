#include "datafile/windows_path.h"

#include <windows.h>

namespace ombrisk {

std::wstring windows_path(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > 0x7fffffff) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), n);
  // A name with a NUL in it would name some other file.
  if (wide.find(L'\0') != std::wstring::npos) return {};
  return wide;
}

}  // namespace ombrisk
