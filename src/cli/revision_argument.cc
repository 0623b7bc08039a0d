#include "cli/revision_argument.h"

#include <climits>

#include "cli/failure.h"

namespace zoqcli {

PackageOptions ReadOptionsWithoutRevision(const ParsedArgs& args) {
  ParsedArgs rest = args;
  rest.RemoveOption(kRevisionOption.name);
  return ReadPackageOptions(rest);
}

int RevisionArgument(const std::string& text, int lowest, int count) {
  const long long value = ParseInteger(text, "-r", 0, INT_MAX);
  if (value < lowest || value > count) {
    std::string range = lowest > count ? "it has no revision"
                        : lowest == count
                            ? "its only choice is " + std::to_string(count)
                            : "choose " + std::to_string(lowest) + " to " + std::to_string(count);
    throw ToolFailure("revision " + text + " is out of range: the package has " +
                      std::to_string(count) + (count == 1 ? " revision" : " revisions") + "; " +
                      range);
  }
  return static_cast<int>(value);
}

}  // namespace zoqcli
