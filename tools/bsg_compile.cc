// Build-time tool: compiles an XML Schema file into a binary schema file.
// Usage: zoq-bsgc SCHEMA.xsd OUT.bsg
#include <cstdio>
#include <string>

#include "zoq/sxc_tools.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s SCHEMA.xsd OUT.bsg\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!zoq::CompileSchemaFile(argv[1], argv[2], &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}
