// Writes the generated benchmark document (bench_sxc's input) to a file, so
// that bench/stream/peers.sh can time the command-line tools on it.
// Usage: zoq-bench-document MIB OUT.xml
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document_generator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s MIB OUT.xml\n", argv[0]);
    return 2;
  }
  const std::string xml = zoq::bench::GenerateDocument(static_cast<size_t>(atoi(argv[1])) << 20);
  FILE* out = fopen(argv[2], "wb");
  if (out == nullptr || fwrite(xml.data(), 1, xml.size(), out) != xml.size() || fclose(out) != 0) {
    fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
