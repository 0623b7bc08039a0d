#include "cli/file_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/failure.h"
#include "cli/safe_folder.h"

namespace zoqcli {

std::string ReadWholeFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw ToolFailure("cannot read " + path + ": " + std::strerror(errno));
  std::string content;
  char piece[1 << 16];
  for (;;) {
    size_t got = std::fread(piece, 1, sizeof piece, file.get());
    content.append(piece, got);
    if (got < sizeof piece) break;
  }
  if (std::ferror(file.get())) throw ToolFailure("cannot read " + path);
  return content;
}

void WriteResult(const std::string& path, const void* bytes, size_t count, Output& out) {
  WriteResultPieces(
      path, [bytes, count](const ResultWriter& write) { write(static_cast<const uint8_t*>(bytes), count); },
      out);
}

void WriteResultPieces(const std::string& path, const std::function<void(const ResultWriter&)>& produce,
                       Output& out) {
  if (path.empty() || path == "-") {
    produce([&out](const uint8_t* bytes, size_t count) { out.Write(bytes, count); });
    return;
  }
  size_t slash = path.rfind('/');
  std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  FolderHandle::Open(folder).WriteFile(name, produce);
}

}  // namespace zoqcli
