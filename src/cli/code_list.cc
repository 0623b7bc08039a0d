#include "cli/code_list.h"

#include <strings.h>

#include "cli/arguments.h"
#include "zoq/decode_options.h"

namespace zoqcli {

std::vector<zoq::EcsCodeArg> ParseCodeList(const std::string& text, const zoq::KeyInfo* key) {
  std::vector<zoq::EcsCodeArg> codes;
  size_t start = 0;
  while (start < text.size()) {
    size_t comma = text.find(',', start);
    std::string name = text.substr(start, comma == std::string::npos ? comma : comma - start);
    start = comma == std::string::npos ? text.size() : comma + 1;
    zoq::EcsCodeArg code;
    if (strcasecmp(name.c_str(), "sxc") == 0 || name == "1") {
      code.code = zoq::kEcsSxc;
    } else if (strcasecmp(name.c_str(), "zip") == 0 || name == "2") {
      code.code = zoq::kEcsZip;
    } else if (strcasecmp(name.c_str(), "adm") == 0 || name == "128") {
      if (key == nullptr) throw UsageError("the code adm needs --key or --key-file");
      code.code = zoq::kEcsAdm;
      code.key = key;
    } else {
      throw UsageError("unknown ECS code \"" + name + "\" (sxc, zip, adm)");
    }
    codes.push_back(code);
  }
  if (codes.size() > static_cast<size_t>(zoq::kMaxStoredCodes)) {
    throw UsageError("at most 7 ECS codes can be stored");
  }
  return codes;
}

}  // namespace zoqcli
