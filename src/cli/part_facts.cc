#include "cli/part_facts.h"

#include "cli/failure.h"
#include "zoq/utf.h"

namespace zoqcli {

void WriteErrorMember(JsonWriter& json, int code) {
  json.Key("error");
  json.BeginObject();
  json.Key("code");
  json.Int(code);
  json.Key("text");
  json.String(CodeText(code));
  json.EndObject();
}

void ReportUnreadable(const std::string& path, int code) {
  ReportMessage("cannot read the information of " + path + ": " + DescribeCode(code));
}

std::string CodeList(const zoq::PartInfo& info) {
  std::string text;
  for (int i = 0; i < info.code_count && i < static_cast<int>(info.codes.size()); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(info.codes[i]);
  }
  return text;
}

std::string RevisionList(const zoq::PartInfo& info) {
  std::string text;
  for (size_t i = 0; i < info.revisions.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(info.revisions[i] + 1);
  }
  return text;
}

void WritePartMembers(JsonWriter& json, const zoq::PartInfo& info) {
  json.Key("size");
  json.Int(info.size);
  json.Key("total_size");
  json.Int(info.total_size);
  json.Key("revisions");
  json.BeginArray();
  for (int revision : info.revisions) json.Int(revision + 1);
  json.EndArray();
  json.Key("codes");
  json.BeginArray();
  for (int i = 0; i < info.code_count && i < static_cast<int>(info.codes.size()); ++i) {
    json.Int(info.codes[i]);
  }
  json.EndArray();
  json.Key("deleted");
  json.Bool(info.deleted);
  json.Key("skippable");
  json.Bool(info.skippable);
}

}  // namespace zoqcli
