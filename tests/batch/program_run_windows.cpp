// run_batch on Windows: CreateProcess with the program's output going to
// files in its directory. The program writes its standard streams in text
// mode, CR LF at each line end; the harness gives the tests LF, as on other
// systems.
#include <windows.h>

#include "program_run.h"

namespace {

// One argument quoted so that the C runtime's command line parsing gives it
// back unchanged: backslashes doubled only before a quote.
void append_quoted(std::wstring& line, const std::wstring& arg) {
  if (!line.empty()) line += L' ';
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') line.append(2 * backslashes + 1, L'\\');
    else line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

HANDLE open_for_child(const std::filesystem::path& file) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string without_cr_before_lf(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

ProgramResult run_batch(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  const std::filesystem::path out_file = dir / ".stdout";
  const std::filesystem::path err_file = dir / ".stderr";
  const std::filesystem::path program(OMBRISK_BATCH_PROGRAM);
  std::wstring line;
  append_quoted(line, program.wstring());
  for (const std::string& a : args) append_quoted(line, std::filesystem::path(a).wstring());

  ProgramResult result;
  const HANDLE out = open_for_child(out_file);
  const HANDLE err = open_for_child(err_file);
  if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    return result;
  }
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = out;
  start.hStdError = err;
  PROCESS_INFORMATION child{};
  const bool started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, dir.c_str(), &start, &child) != 0;
  CloseHandle(out);
  CloseHandle(err);
  if (started) {
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(child.hProcess, &code) != 0) result.status = static_cast<int>(code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
  }
  result.out = without_cr_before_lf(read_file(out_file));
  result.err = without_cr_before_lf(read_file(err_file));
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return result;
}
