// ECS code lists typed by the user: "zip,adm" in the order the codes are
// applied (names sxc, zip, adm or the numbers 1, 2, 128).
#pragma once

#include <string>
#include <vector>

#include "zoq/decode_options.h"

namespace zoqcli {

// The list as the library takes it; adm takes `key`, which must then be
// given (else UsageError). An empty text is an empty list.
std::vector<zoq::EcsCodeArg> ParseCodeList(const std::string& text, const zoq::KeyInfo* key);

}  // namespace zoqcli
