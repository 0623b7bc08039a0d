#include "hostile_input.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef ZOQ_EXE
#define ZOQ_EXE "/nonexistent/zoq"  // a build without the tool: runs fail with 127
#endif

namespace zoq::hardening {
namespace {

// A field of /proc/<process>/status in bytes, -1 when missing.
int64_t StatusBytes(const char* field, const std::string& process = "self") {
  std::ifstream in("/proc/" + process + "/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line)) {
    if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':') {
      std::istringstream value(line.substr(n + 1));
      int64_t kb = -1;
      value >> kb;
      return kb < 0 ? -1 : kb * 1024;
    }
  }
  return -1;
}

}  // namespace

std::vector<uint8_t> ZerosStream(const std::vector<uint8_t>& prefix, uint64_t zeros) {
  std::vector<uint8_t> out = {0x78, 0x01};  // zlib header: deflate, 32 KiB window
  uint64_t bits = 0;
  int count = 0;
  auto put = [&](uint32_t value, int n) {  // LSB first, as deflate packs fields
    bits |= uint64_t{value} << count;
    count += n;
    while (count >= 8) {
      out.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  };
  auto code = [&](uint32_t value, int n) {  // Huffman codes go MSB first
    uint32_t reversed = 0;
    for (int i = 0; i < n; ++i) reversed |= ((value >> i) & 1u) << (n - 1 - i);
    put(reversed, n);
  };
  // First a block of fixed codes: the prefix and the first zero.
  put(zeros == 0 ? 1 : 0, 1);
  put(1, 2);
  for (uint8_t byte : prefix) byte < 144 ? code(0x30 + byte, 8) : code(0x190 + byte - 144, 9);
  if (zeros > 0) code(0x30, 8);
  code(0, 7);  // end of block
  if (zeros > 0) {
    // Then the last block, of codes made for the zeros, as the densest
    // compressors make them: length 258 (symbol 285) takes one bit, its
    // distance 1 one bit, a single zero (symbol 0) and the end (256) two.
    put(1, 1);
    put(2, 2);
    put(29, 5);  // 286 length codes
    put(0, 5);   // 1 distance code
    put(14, 4);  // 18 code length codes, in their fixed order:
    for (int length : {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2}) put(length, 3);
    // The lengths: symbol 0: 2, 1-255: none, 256: 2, 257-284: none, 285: 1,
    // distance 0: 1; with the code length codes 18 (0), 1 (10), 2 (11).
    auto none = [&](int n) {
      code(0, 1);
      put(n - 11, 7);
    };
    code(3, 2);
    none(138);
    none(117);
    code(3, 2);
    none(28);
    code(2, 2);
    code(2, 2);
    uint64_t left = zeros - 1;
    for (; left >= 258; left -= 258) put(0, 2);  // length 258, distance 1
    for (; left > 0; --left) code(2, 2);
    code(3, 2);  // end of block
  }
  if (count > 0) put(0, 8 - count);
  uint32_t adler = static_cast<uint32_t>(adler32(1, prefix.data(), static_cast<uInt>(prefix.size())));
  const uint64_t a = adler & 0xFFFF, b = ((adler >> 16) + a * (zeros % 65521)) % 65521;
  adler = static_cast<uint32_t>(b << 16 | a);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(adler >> shift));
  return out;
}

std::vector<uint8_t> SxcDocument(const std::vector<uint8_t>& identifier, const SxcSections& s) {
  std::vector<uint8_t> out = {'?', '?', 'S', 'X', 'C', 1, 0, 0, 0};
  out.insert(out.end(), identifier.begin(), identifier.end());
  const bool values = !s.blocks.empty();
  const bool structure = !s.structure.empty();
  out.push_back(0);
  out.push_back(static_cast<uint8_t>((values ? 1 : 0) | (structure ? 2 : 0)));
  auto put32 = [&out](uint64_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  // Offsets are not read back; sizes are.
  if (structure) {
    put32(0);
    put32(s.structure.size());
  }
  if (values) {
    put32(0);
    put32(s.blocks.size());
    put32(0);
    put32(s.directory.size() + 2);
  }
  out.insert(out.end(), s.structure.begin(), s.structure.end());
  if (values) {
    out.insert(out.end(), s.blocks.begin(), s.blocks.end());
    out.push_back(0);
    out.push_back(1);  // the directory is compressed
    out.insert(out.end(), s.directory.begin(), s.directory.end());
  }
  return out;
}

RawEntry OnePart(int width, const std::vector<uint8_t>& data,
                 std::optional<uint64_t> stored_length, uint64_t data_offset) {
  RawEntry entry;
  entry.names = NameTable({{1, "/a.txt"}});
  entry.bitstream = DataRecord(data, {}, width, stored_length);
  AddItem(&entry.items, 1, data_offset, 1, width);
  AddEnd(&entry.items, width);
  return entry;
}

int64_t PeakGrowth(const std::function<void()>& action) {
  // Writing 5 to clear_refs resets the peak to the current resident set.
  FILE* f = std::fopen("/proc/self/clear_refs", "w");
  const bool reset = f != nullptr && std::fputs("5", f) >= 0;
  if (f != nullptr) std::fclose(f);
  const int64_t before = StatusBytes("VmRSS");
  action();
  const int64_t peak = StatusBytes("VmHWM");
  if (!reset || before < 0 || peak < 0) return -1;
  return peak > before ? peak - before : 0;
}

Cost Measure(const std::function<void()>& action) {
  Cost cost;
  const auto start = std::chrono::steady_clock::now();
  cost.growth = PeakGrowth(action);
  cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return cost;
}

ChildRun RunInChild(const std::function<int()>& work, int64_t rss_limit, double seconds) {
  ChildRun run;
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return run;
  if (child == 0) _exit(work());
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(child, &status, WNOHANG, &usage);
    if (done == child) break;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!run.stopped &&
        (StatusBytes("VmRSS", std::to_string(child)) > rss_limit || elapsed > seconds)) {
      kill(child, SIGKILL);
      run.stopped = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.peak = int64_t{usage.ru_maxrss} * 1024;
  return run;
}

namespace {

ChildRun RunZoqHere(const std::vector<std::string>& args, int64_t rss_limit, double seconds,
                    const std::string& out, const std::string& err) {
  return RunInChild(
      [&]() -> int {
        std::vector<std::string> copy = args;
        std::string exe = ZOQ_EXE;
        std::vector<char*> argv{exe.data()};
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        auto redirect = [](const std::string& path, int fd) {
          const int to = open(path.empty() ? "/dev/null" : path.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
          if (to >= 0) dup2(to, fd);
        };
        redirect(out, 1);
        redirect(err, 2);
        // Freed memory that the address sanitizer keeps back to catch late
        // uses would count as the tool's own; keep that small.
        const char* asan = getenv("ASAN_OPTIONS");
        const std::string options =
            std::string(asan != nullptr ? asan : "") + ":quarantine_size_mb=16";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        execv(exe.c_str(), argv.data());
        return 127;
      },
      rss_limit, seconds);
}

// The spawner's end of its socket, in the test program; -1 without one.
int spawner = -1;

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A request: the limits, then the strings (arguments, output, error).
struct Request {
  int64_t rss_limit;
  double seconds;
  uint32_t strings;
};

bool Send(int fd, const Request& r, const std::vector<std::string>& strings) {
  if (!WriteAll(fd, &r, sizeof r)) return false;
  for (const std::string& s : strings) {
    const uint32_t n = static_cast<uint32_t>(s.size());
    if (!WriteAll(fd, &n, sizeof n) || !WriteAll(fd, s.data(), n)) return false;
  }
  return true;
}

[[noreturn]] void Serve(int fd) {
  for (;;) {
    Request r;
    if (!ReadAll(fd, &r, sizeof r)) _exit(0);  // the test program is done
    std::vector<std::string> strings(r.strings);
    for (std::string& s : strings) {
      uint32_t n = 0;
      if (!ReadAll(fd, &n, sizeof n)) _exit(0);
      s.resize(n);
      if (!ReadAll(fd, s.data(), n)) _exit(0);
    }
    const std::string err = strings.back();
    strings.pop_back();
    const std::string out = strings.back();
    strings.pop_back();
    const ChildRun run = RunZoqHere(strings, r.rss_limit, r.seconds, out, err);
    if (!WriteAll(fd, &run, sizeof run)) _exit(0);
  }
}

}  // namespace

void StartToolSpawner() {
  int fds[2];
  if (spawner >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return;
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return;
  }
  if (pid == 0) {
    close(fds[0]);
    Serve(fds[1]);
  }
  close(fds[1]);
  spawner = fds[0];
}

ChildRun RunZoqBounded(const std::vector<std::string>& args, int64_t rss_limit, double seconds,
                       const std::string& out, const std::string& err) {
  if (spawner >= 0) {
    std::vector<std::string> strings = args;
    strings.push_back(out);
    strings.push_back(err);
    ChildRun run;
    if (Send(spawner, Request{rss_limit, seconds, static_cast<uint32_t>(strings.size())}, strings) &&
        ReadAll(spawner, &run, sizeof run)) {
      return run;
    }
    return ChildRun{};
  }
  return RunZoqHere(args, rss_limit, seconds, out, err);
}

}  // namespace zoq::hardening
