// Builds a sample package from a plan: a text file of steps, one a line,
// whose source files lie beside it. Steps:
//
//   add PATH SOURCE CODES       store SOURCE as the part PATH
//   replace PATH SOURCE CODES   a new full version of PATH
//   append PATH SOURCE CODES    SOURCE's bytes appended to PATH
//   picture PATH WIDTH HEIGHT CODES   a generated PNG picture
//   delete PATH
//   save                        ends a revision (an incremental save)
//
// CODES is "plain" or a comma-separated list of "sxc", "zip" and
// "adm=KEY", applied in that order. Blank lines and lines starting with '#'
// are skipped. The package is a document of the given subset and version
// codes; its schema comes from RESOURCES/Resource/BinarySchema/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zoq::tools {

struct SamplePlan {
  int subset_kind = 16;    // the full subset
  int version_code = 258;  // version 1.2
};

// Writes the package to `output` (replacing it). False with a message
// naming the plan line when a step fails.
bool BuildSamplePackage(const std::string& plan_path, const std::string& resource_dir,
                        const std::string& output, const SamplePlan& plan, std::string* error);

// A PNG picture of `width` x `height` RGB pixels (a smooth pattern).
std::vector<uint8_t> MakePicture(int width, int height);

}  // namespace zoq::tools
