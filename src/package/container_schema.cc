// Choosing the binary schema file that SXC-coded parts are decoded with:
// the package's own copy, or a file of the schema folder chosen by document
// subset and version.
#include <sys/stat.h>

#include "package/container_impl.h"

namespace zoq {
namespace {

const char16_t kEmbeddedSchema[] = u"/__ECSEnv/01/Schema.bsg";

const char* SubsetSuffix(int subset_kind) {
  switch (subset_kind) {
    case 1: return "_A";
    case 2: return "_P";
    case 4: return "_I";
    case 8: return "_M";
    case 16: return "_Full";
    default: return nullptr;
  }
}

const char* VersionSuffix(int version_code) {
  switch (version_code) {
    case 256: return "_v1.0";
    case 257: return "_v1.1";
    case 258: return "_v1.2";
    default: return nullptr;
  }
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void PackageContainer::ClearSchemaState() {
  subset_kind_ = 0;
  version_code_ = 0;
  schema_in_effect_.clear();
  schema_in_package_ = false;
  schema_extracted_ = false;
  sxc_used_ = false;
}

void PackageContainer::ReleaseCopies(const std::u16string& path) {
  if (path == u"*") {
    copies_.clear();
  } else {
    copies_.erase(path);
  }
  if (schema_extracted_ && (path == u"*" || path == kEmbeddedSchema)) {
    schema_in_effect_.clear();
    schema_extracted_ = false;
  }
}

std::string PackageContainer::SelectSchemaFile() const {
  const std::string base = schema_dir_ + "PLIV";
  const char* subset = SubsetSuffix(subset_kind_);
  const char* version = VersionSuffix(version_code_);
  if (subset != nullptr && version != nullptr) {
    std::string name = base + subset + version + ".bsg";
    if (FileExists(name)) return name;
  }
  if (!explicit_schema_.empty() && FileExists(explicit_schema_)) return explicit_schema_;
  int clamped = version_code_ < 257 ? 256 : (version_code_ == 257 ? 257 : 258);
  return base + "_Full" + VersionSuffix(clamped) + ".bsg";
}

Status PackageContainer::ResolveSchema() {
  if (schema_in_package_ || !schema_in_effect_.empty()) return kOk;
  if (!temp_dir_.empty() && paths_.Find(kEmbeddedSchema) != nullptr) {
    schema_in_package_ = true;
    return kOk;
  }
  if (!resource_dir_.empty() && (version_code_ != 0 || !explicit_schema_.empty())) {
    schema_in_effect_ = SelectSchemaFile();
    if (schema_in_effect_.empty()) return kSiteNoSchemaFound;
  }
  return kOk;
}

std::string PackageContainer::SchemaPathLocked() {
  if (extracting_schema_) return schema_in_effect_;  // the schema part needs itself
  ResolveSchema().IgnoreError();  // no schema found shows as an empty path below
  if (schema_in_package_ && schema_in_effect_.empty()) {
    extracting_schema_ = true;
    std::string extracted;
    if (ExtractLocked(kEmbeddedSchema, &extracted, 0, nullptr) == kOk) {
      schema_in_effect_ = extracted;
      schema_extracted_ = true;
    } else {
      schema_in_effect_ = SelectSchemaFile();
    }
    extracting_schema_ = false;
    schema_in_package_ = false;
  }
  return schema_in_effect_;
}

bool PackageContainer::GetSchemaPath(std::string* out) {
  WriteLockGuard guard(lock_);
  std::string path = SchemaPathLocked();
  if (out != nullptr) *out = path;
  return path.empty();
}

Status PackageContainer::SetDocumentType(int subset_kind, int version_code) {
  WriteLockGuard guard(lock_);
  if (!IsOpenLocked()) return kSiteNoPackageOpen;
  if (version_code < 258 && header_.version != 0x0100) return kSiteVersionCodeTooLow;
  if (version_code >= 258 && header_.version != 0x0101) return kSiteVersionCodeTooHigh;
  subset_kind_ = subset_kind;
  version_code_ = version_code;
  schema_in_effect_.clear();
  schema_in_package_ = false;
  schema_extracted_ = false;
  return ResolveSchema();
}

Status PackageContainer::SetSchemaFile(const std::string& path) {
  WriteLockGuard guard(lock_);
  if (path.empty()) return kInvalidArgument;
  if (!FileExists(path)) return kSchemaFileMissing;
  explicit_schema_ = path;
  return kOk;
}

}  // namespace zoq
