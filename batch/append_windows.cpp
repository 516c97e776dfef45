// Appending a summary row on Windows: the file opened for appending, locked
// while its first line is read and the row written, and the row (with the
// header, when the file is empty) written by one WriteFile call.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "batch/summary.h"
#include "datafile/windows_path.h"

namespace ombrisk::batch {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

std::string failure(const std::string& path) { return "Cannot write file " + path; }

// The file's first `limit` bytes, read from its start.
std::string first_bytes(HANDLE h, std::size_t limit) {
  std::string text(limit, '\0');
  OVERLAPPED at{};
  DWORD got = 0;
  if (!ReadFile(h, text.data(), static_cast<DWORD>(limit), &got, &at)) got = 0;
  text.resize(got);
  return text;
}

}  // namespace

std::string append_summary(const std::string& path, const std::string& header,
                           const std::string& row) {
  const std::wstring name = windows_path(path);
  if (name.empty()) return failure(path);
  // Every write below goes to the end of the file, under the lock.
  Handle h(CreateFileW(name.c_str(), FILE_APPEND_DATA | FILE_WRITE_DATA | FILE_READ_DATA | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (h.get() == INVALID_HANDLE_VALUE) return failure(path);
  // Another process may be looking at the same empty file: the lock makes
  // only one of them write the header.
  OVERLAPPED whole{};
  if (!LockFileEx(h.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole))
    return failure(path);
  struct Unlock {
    HANDLE h;
    ~Unlock() {
      OVERLAPPED whole{};
      UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &whole);
    }
  } unlock{h.get()};

  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h.get(), &size)) return failure(path);
  std::string text;
  if (size.QuadPart == 0) {
    text = header + row;
  } else {
    if (!opens_with_header(first_bytes(h.get(), header.find('\n') + 2), header))
      return other_columns_text(path);
    text = row;
  }
  OVERLAPPED at_end{};
  at_end.Offset = 0xFFFFFFFF;
  at_end.OffsetHigh = 0xFFFFFFFF;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(h.get(), text.data(), static_cast<DWORD>(text.size()), &written, &at_end);
  if (!ok || written != text.size()) {
    // A part of a row would spoil the table: the file goes back to what it
    // held (the lock keeps other appenders waiting meanwhile).
    if (written > 0) {
      FILE_END_OF_FILE_INFO end{};
      end.EndOfFile = size;
      if (!SetFileInformationByHandle(h.get(), FileEndOfFileInfo, &end, sizeof end))
        return failure(path) + "; it may end in part of a row";
    }
    return failure(path);
  }
  return {};
}

}  // namespace ombrisk::batch
