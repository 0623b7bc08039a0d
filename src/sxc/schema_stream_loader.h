// Loading a schema from an open file (used by the codec, which lets the
// file's open failure reach its own caller).
#pragma once

#include <memory>
#include <string>

#include "sxc/file_stream.h"
#include "sxc/schema.h"

namespace zoq {

bool LoadSchemaFromStream(CFileStream& file, std::shared_ptr<const BinarySchema>* out,
                          std::string* error);

}  // namespace zoq
