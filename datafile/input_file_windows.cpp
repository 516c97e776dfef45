// InputFile on Windows: CreateFileW and ReadFile.
#include <windows.h>

#include "datafile/input_file.h"
#include "datafile/windows_path.h"

namespace ombrisk {

namespace {

HANDLE as_handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

InputFile::~InputFile() {
  if (handle_ != -1) ::CloseHandle(as_handle(handle_));
}

bool InputFile::open(const std::string& path) {
  if (handle_ != -1) return false;
  const std::wstring name = windows_path(path);
  if (name.empty()) return false;
  // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
  const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(h);
  return true;
}

std::int64_t InputFile::read_some(char* data, std::size_t size) {
  if (handle_ == -1) return -1;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD got = 0;
  if (!::ReadFile(as_handle(handle_), data, want, &got, nullptr)) {
    // The writer of a pipe closing its end is the pipe's end of file.
    return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return got;
}

}  // namespace ombrisk
