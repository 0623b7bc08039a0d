// Build-time tool: writes the bundled sample document from its plan.
// Usage: zoq-make-sample PLAN RESOURCE_DIR OUT.pliv
#include <unistd.h>

#include <cstdio>
#include <string>

#include "sample_package.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s PLAN RESOURCE_DIR OUT.pliv\n", argv[0]);
    return 2;
  }
  std::string error;
  if (!zoq::tools::BuildSamplePackage(argv[1], argv[2], argv[3], zoq::tools::SamplePlan{}, &error)) {
    fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    unlink(argv[3]);  // no half-built sample for the build to take as done
    return 1;
  }
  return 0;
}
