// FileReplacement on Windows: a temporary file beside the target and
// MoveFileExW with MOVEFILE_REPLACE_EXISTING, or the target itself for a
// character device (NUL, CON, a serial port) or a named pipe.
#include <windows.h>

#include <atomic>
#include <string>

#include "datafile/file_replace.h"
#include "datafile/windows_path.h"

namespace ombrisk {

namespace {

HANDLE as_handle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
std::intptr_t as_int(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

std::string utf8(const std::wstring& wide) {
  if (wide.empty() || wide.size() > 0x7fffffff) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
  return text;
}

// The name of the file an open handle refers to, links followed; empty when
// Windows cannot say.
std::wstring final_name(HANDLE h) {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFinalPathNameByHandleW(h, name.data(), static_cast<DWORD>(name.size()),
                                                FILE_NAME_NORMALIZED);
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return name;
    }
    name.resize(n + 1);
  }
}

HANDLE create_temporary(const std::wstring& target, std::wstring& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1));
    const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) {
      if (h == INVALID_HANDLE_VALUE) name.clear();
      return h;
    }
  }
  name.clear();
  return INVALID_HANDLE_VALUE;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& path) {
  std::wstring target = windows_path(path);
  if (target.empty()) return;
  // Opening the existing target for writing changes nothing in it, tells a
  // device or pipe from a file, follows a link, and fails for a read-only
  // file (which stays protected) and for a directory.
  const HANDLE existing =
      ::CreateFileW(target.c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return;
    // A link whose file is missing: its destination cannot be told here, and
    // replacing the link itself would lose it.
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return;
    }
  } else {
    if (::GetFileType(existing) != FILE_TYPE_DISK) {
      target_ = path;
      handle_ = as_int(existing);
      return;
    }
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      target = final_name(existing);  // the link's destination is replaced
    }
    ::CloseHandle(existing);
    if (target.empty()) return;
    // Said again for a read-only file that an administrator could still open.
    const DWORD target_attributes = ::GetFileAttributesW(target.c_str());
    if (target_attributes == INVALID_FILE_ATTRIBUTES ||
        (target_attributes & FILE_ATTRIBUTE_READONLY)) {
      return;
    }
  }
  std::wstring temporary;
  const HANDLE h = create_temporary(target, temporary);
  if (h == INVALID_HANDLE_VALUE) return;
  target_ = utf8(target);
  temporary_ = utf8(temporary);
  handle_ = as_int(h);
}

FileReplacement::~FileReplacement() { discard(); }

void FileReplacement::discard() {
  if (handle_ != -1) {
    ::CloseHandle(as_handle(handle_));
    handle_ = -1;
  }
  if (!temporary_.empty()) {
    ::DeleteFileW(windows_path(temporary_).c_str());
    temporary_.clear();
  }
}

bool FileReplacement::write(const char* data, std::size_t size) {
  if (!ok()) return false;
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(as_handle(handle_), data, chunk, &written, nullptr) || written == 0) {
      ok_ = false;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool FileReplacement::commit() {
  if (!ok()) {
    discard();
    return false;
  }
  const HANDLE h = as_handle(handle_);
  handle_ = -1;
  const bool closed = ::CloseHandle(h) != 0;
  if (temporary_.empty()) return closed;  // written directly
  if (!closed || !::MoveFileExW(windows_path(temporary_).c_str(), windows_path(target_).c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

}  // namespace ombrisk
