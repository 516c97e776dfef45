#include "program_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

ProgramResult run_batch(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  const std::string out_file = (dir / ".stdout").string();
  const std::string err_file = (dir / ".stderr").string();
  std::vector<std::string> argv_text{OMBRISK_BATCH_PROGRAM};
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

std::string read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> read_lines(const std::filesystem::path& file) {
  std::istringstream in(read_file(file));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::path(testing::TempDir()) / "ombrisk-batch-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
