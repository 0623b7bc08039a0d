#include "run_zoq.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zoqtest {
namespace {

[[noreturn]] void ExecZoq(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string program = ZOQ_EXE;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

int ExitStatus(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

RunResult RunZoq(const std::vector<std::string>& args, const std::string& cwd) {
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    int null_in = open("/dev/null", O_RDONLY);
    if (null_in >= 0) dup2(null_in, STDIN_FILENO);
    close(out_pipe[0]);
    close(err_pipe[0]);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    ExecZoq(args);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  RunResult result;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  char buffer[65536];
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.peak_rss = int64_t{usage.ru_maxrss} * 1024;
  return result;
}

RunResult RunZoqOnTerminal(const std::vector<std::string>& args) {
  int terminal = -1;
  termios raw{};
  cfmakeraw(&raw);  // bytes pass unchanged (no "\r" added to line ends)
  pid_t child = forkpty(&terminal, nullptr, &raw, nullptr);
  if (child < 0) throw std::runtime_error("forkpty failed");
  if (child == 0) ExecZoq(args);
  RunResult result;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // EIO once the program has closed the terminal
    result.out.append(buffer, static_cast<size_t>(got));
  }
  close(terminal);
  result.status = ExitStatus(child);
  return result;
}

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

std::string TestDataDir() { return ZOQ_TEST_DATA_DIR; }

std::string Package(const std::string& name) { return TestDataDir() + "/package/" + name + ".zoq"; }

std::string Sxc(const std::string& file) { return TestDataDir() + "/sxc/" + file; }

ScratchFolder::ScratchFolder() {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/zoq-cli-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path, bool* exists) {
  std::ifstream in(path, std::ios::binary);
  if (exists != nullptr) *exists = static_cast<bool>(in);
  if (!in) return {};
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool HasText(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

RunResult Zoq(const std::vector<std::string>& args, int status) {
  RunResult run = RunZoq(args);
  EXPECT_EQ(run.status, status) << args[0] << ": " << run.err;
  return run;
}

void ExpectFailure(const RunResult& run, int status, const std::string& text) {
  EXPECT_EQ(run.status, status) << run.err;
  EXPECT_TRUE(HasText(run.err, text)) << run.err;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace zoqtest
