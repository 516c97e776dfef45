// run_batch on POSIX systems: fork and exec, the program's output redirected
// to files in its directory. OMBRISK_BATCH_LAUNCHER, when defined, is the
// command (an emulator and its options, separated by '|') the program is run
// through.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string_view>

#include "program_run.h"

namespace {

std::vector<std::string> launcher() {
  std::vector<std::string> words;
#ifdef OMBRISK_BATCH_LAUNCHER
  std::string_view rest = OMBRISK_BATCH_LAUNCHER;
  while (!rest.empty()) {
    const std::size_t end = rest.find('|');
    words.emplace_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
#endif
  return words;
}

}  // namespace

ProgramResult run_batch(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  const std::string out_file = (dir / ".stdout").string();
  const std::string err_file = (dir / ".stderr").string();
  std::vector<std::string> argv_text = launcher();
  argv_text.push_back(OMBRISK_BATCH_PROGRAM);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  ProgramResult result;
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return result;
  int wstatus = 0;
  if (waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  result.out = read_file(out_file);
  result.err = read_file(err_file);
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return result;
}
