// What the tool reports about one part, in text and JSON: the container's
// part information with 1-based revision numbers.
#pragma once

#include <string>

#include "cli/json_writer.h"
#include "zoq/container.h"

namespace zoqcli {

// The member "error": {"code": CODE, "text": TEXT} of an entry whose
// information cannot be read.
void WriteErrorMember(JsonWriter& json, int code);

// Reports on standard error that the information of `path` cannot be read.
void ReportUnreadable(const std::string& path, int code);

// "2,128" (empty for none).
std::string CodeList(const zoq::PartInfo& info);
// "7,5,1": revisions newest first, 1-based (empty for none).
std::string RevisionList(const zoq::PartInfo& info);

// The members size, total_size, revisions, codes, deleted, skippable of the
// current object.
void WritePartMembers(JsonWriter& json, const zoq::PartInfo& info);

}  // namespace zoqcli
