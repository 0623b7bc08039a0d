// Two writers on one package, as real zoq processes started a random few
// milliseconds apart on a package with a long history: two `zoq add`, and
// `zoq commit --merge` against `zoq add`. Afterwards the package opens and
// either holds both changes, or one writer was refused because the other
// changed the package and the other's change is there. Nothing else is
// allowed: no writer reports success for a change that is not there, and the
// package never stops opening.
//
// ZOQ_RACE_ROUNDS and ZOQ_RACE_REVISIONS set the number of rounds and the
// history's length (`make stress` runs 1,000 rounds on 100,000 revisions).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "package_builder.h"
#include "save_test_util.h"
#include "test_util.h"
#include "zoq/codes.h"
#include "zoq/package_layout.h"

extern char** environ;

namespace zoq {
namespace {

int EnvNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A zoq process running with its error output going to a file.
struct Writer {
  explicit Writer(std::string file) : err_file(std::move(file)) {}
  std::string err_file;
  pid_t pid = -1;
  int status = -1;
  std::string err;
};

void Start(Writer* w, const std::vector<std::string>& args) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, w->err_file.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> copies = args;
  std::string program = ZOQ_EXE;
  std::vector<char*> argv{program.data()};
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (posix_spawn(&w->pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    w->pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
}

void Finish(Writer* w) {
  int raw = 0;
  if (w->pid > 0 && waitpid(w->pid, &raw, 0) == w->pid) {
    w->status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  }
  w->err = ReadText(w->err_file);
}

// The history: revision i stores "/history.txt" anew.
std::vector<uint8_t> LongHistory(int revisions) {
  std::vector<test::TestEntry> entries(static_cast<size_t>(revisions));
  for (int i = 0; i < revisions; ++i) {
    const std::string text = "revision " + std::to_string(i);
    test::TestRecord& record = entries[i].records.emplace_back();
    record.type = i == 0 ? kRecordCreated : kRecordReplaced;
    record.path = "/history.txt";
    record.data.assign(text.begin(), text.end());
  }
  return test::BuildPackage(entries, 4).bytes;
}

TEST(WriterRace, TwoWritersNeverLoseAChange) {
  const int rounds = EnvNumber("ZOQ_RACE_ROUNDS", 20);
  const int revisions = EnvNumber("ZOQ_RACE_REVISIONS", 20000);
  test::ScratchDir dir;
  const std::vector<uint8_t> base = LongHistory(revisions);
  const std::string last = "revision " + std::to_string(revisions - 1);
  const std::string package = dir.File("race.zoq");

  // How long one writer takes, to spread the second one's start over it.
  WriteText(dir.File("probe"), "probe");
  std::ofstream(package, std::ios::binary)
      .write(reinterpret_cast<const char*>(base.data()), static_cast<std::streamsize>(base.size()));
  Writer probe(dir.File("probe.err"));
  const auto before = std::chrono::steady_clock::now();
  Start(&probe, {"add", package, "/probe.txt", dir.File("probe")});
  Finish(&probe);
  ASSERT_EQ(probe.status, 0) << probe.err;
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - before)
                        .count();

  std::mt19937 random(20261210);
  int both = 0, refused = 0, lost = 0, broken = 0;
  for (int round = 0; round < rounds; ++round) {
    std::ofstream(package, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(base.data()),
               static_cast<std::streamsize>(base.size()));
    const std::string a_text = "a " + std::to_string(round);
    const std::string b_text = "b " + std::to_string(round);
    WriteText(dir.File("a.in"), a_text);
    WriteText(dir.File("b.in"), b_text);
    const bool merge = round % 2 == 1;
    Writer a(dir.File("a.err"));
    Writer b(dir.File("b.err"));
    const auto delay = std::uniform_int_distribution<int64_t>(0, span)(random);
    const bool a_first = random() % 2 == 0;
    auto start_a = [&] { Start(&a, {"add", package, "/a.txt", dir.File("a.in")}); };
    auto start_b = [&] {
      if (merge) {
        Start(&b, {"commit", "--merge", package, "--add", "/b.txt=" + dir.File("b.in")});
      } else {
        Start(&b, {"add", package, "/b.txt", dir.File("b.in")});
      }
    };
    a_first ? start_a() : start_b();
    std::this_thread::sleep_for(std::chrono::microseconds(delay));
    a_first ? start_b() : start_a();
    Finish(&a);
    Finish(&b);

    int code = 0;
    const auto parts = test::SnapshotFile(package, &code);
    if (code != kOk || parts.count("/history.txt") == 0 ||
        parts.at("/history.txt") != test::Bytes(last)) {
      ++broken;
      ADD_FAILURE() << "round " << round << ": the package no longer reads (" << code << ")";
      continue;
    }
    bool round_ok = true;
    for (const auto* w : {&a, &b}) {
      const std::string part = w == &a ? "/a.txt" : "/b.txt";
      const std::string text = w == &a ? a_text : b_text;
      const bool there = parts.count(part) != 0 && parts.at(part) == test::Bytes(text);
      if (w->status == 0 && !there) {
        ++lost;
        round_ok = false;
        ADD_FAILURE() << "round " << round << ": " << part << " reported saved but missing";
      } else if (w->status != 0 &&
                 (there || (w->err.find(std::to_string(kPackageChanged)) == std::string::npos &&
                            // a lock held past the wait (a slow, loaded machine)
                            w->err.find(std::to_string(kPackageLocked)) == std::string::npos))) {
        round_ok = false;
        ADD_FAILURE() << "round " << round << ": " << part << " failed unexpectedly: " << w->err;
      }
    }
    if (a.status != 0 && b.status != 0) {
      round_ok = false;
      ADD_FAILURE() << "round " << round << ": both writers failed";
    }
    if (round_ok) ++(a.status == 0 && b.status == 0 ? both : refused);
  }
  std::printf("writer race: %d rounds on %d revisions (one writer %.0f ms): %d kept both, "
              "%d refused one, %d lost a change, %d broke the package\n",
              rounds, revisions, span / 1000.0, both, refused, lost, broken);
}

}  // namespace
}  // namespace zoq
