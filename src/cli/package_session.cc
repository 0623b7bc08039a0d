#include "cli/package_session.h"

#include <unistd.h>

#include <climits>
#include <exception>

#include "cli/arguments.h"
#include "cli/failure.h"
#include "zoq/main_document.h"
#include "zoq/package_layout.h"
#include "zoq/pliv_detection.h"
#include "zoq/schema_folder.h"
#include "zoq/utf.h"

namespace zoqcli {

std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(length));
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::u16string PackagePathArgument(const std::string& text) {
  std::u16string path;
  if (!zoq::Utf8ToUtf16Strict(text, &path)) throw UsageError("package path is not UTF-8: " + text);
  if (path.empty() || (path[0] != u'/' && path[0] != u'\\')) path.insert(path.begin(), u'/');
  return path;
}

void PackageSession::MakeContainer(bool with_temp_dir) {
  zoq::ContainerOptions container_options;
  const std::string folder = ExecutableFolder();
  container_options.resource_dir = folder;
  container_options.schema_dir = zoq::FindSchemaFolder(folder);
  container_options.no_temp_dir = !with_temp_dir;
  zoq::Container* raw = nullptr;
  Check(zoq::CreateContainer(&container_options, &raw));
  container_.reset(raw);
  key_info_.key = options_.key.data();
  key_info_.key_length = static_cast<int>(options_.key.size());
}

PackageSession::PackageSession(const std::string& package_path, const PackageOptions& options,
                               SessionUse use)
    : package_path_(package_path), options_(options), use_(use) {
  MakeContainer(use != SessionUse::kStructure);
  Check(container_->OpenFileAt(package_path, options.revision_limit),
        "cannot open " + package_path);
  if (!options.schema.empty()) {
    Check(container_->SetSchemaFile(options.schema),
          "cannot use the schema file " + options.schema);
  }
  if (use == SessionUse::kContent) ApplyDocumentType();
}

PackageSession::PackageSession(const std::string& package_path, const PackageOptions& options,
                               const NewPackage& create)
    : package_path_(package_path), options_(options), use_(SessionUse::kContent) {
  MakeContainer(true);
  Check(container_->CreatePackage(package_path, create.subset, create.docver, create.width, 0),
        "cannot create " + package_path);
  version_code_ = create.docver;
  if (!options.schema.empty()) {
    Check(container_->SetSchemaFile(options.schema),
          "cannot use the schema file " + options.schema);
  }
}

void PackageSession::SaveIncremental(bool merge) {
  const int code = container_->Save(zoq::kSaveIncremental, merge);
  std::string context = "cannot save " + package_path_;
  if (code == zoq::kOffsetWidthTooSmall) {
    zoq::PackageLayout layout;
    const int width =
        zoq::ReadPackageLayoutFile(package_path_, 1, &layout) == 0 ? layout.header.width : 2;
    context += ": its offsets are " + std::to_string(width) +
               " bytes wide, too narrow for this change; nothing was saved. Rewrite it with "
               "wider offsets first: zoq compact --width " + (width < 4 ? "4 " : "8 ") +
               package_path_;
  } else if (code == zoq::kPackageChanged) {
    context += ": another program changed it since this command read it; nothing was saved, "
               "run the command again";
  }
  Check(code, context);
}

PackageSession::~PackageSession() {
  // A container without a temporary directory owns nothing outside the
  // process. Taking apart the model of a large package costs a good part
  // of a short command's run time, so it is left for the process exit to
  // reclaim (held by a global pointer: it is not a leak).
  if (use_ == SessionUse::kStructure && std::uncaught_exceptions() == 0) {
    static std::vector<zoq::Container*>* kept_until_exit = new std::vector<zoq::Container*>;
    kept_until_exit->push_back(container_.release());
  }
}

void PackageSession::ApplyDocumentType() {
  // The document type comes from the package's main part, whatever the file
  // is called; --docver overrides its version (the subset stays).
  zoq::PlivDocumentType detected;
  bool found = zoq::ReadPlivDocumentType(container_.get(), &detected, false);
  container_->ReleasePartCopies(zoq::kMainDocumentPath).IgnoreError();  // a fixed, valid path
  if (options_.docver.has_value()) {
    version_code_ = *options_.docver;
    // Version code 0 is what an open package starts with; asking for it
    // changes nothing (and would be refused for a version 1.1 package).
    if (version_code_ != 0) {
      Check(container_->SetDocumentType(detected.subset, version_code_),
            "cannot use document version " + std::to_string(version_code_));
    }
  } else if (found && container_->SetDocumentType(detected.subset, detected.version) == 0) {
    // A main part whose version does not fit the package's format (1.1 in a
    // format 1.1 package) leaves the type unknown.
    version_code_ = detected.version;
  }
}

bool PackageSession::CounterBlockUndecided() const {
  // Only format 1.1 packages hold documents of version 1.2, whose encrypted
  // parts begin with an initial counter block; without a known version the
  // parts are read as if they had none. --docver (0 included) decides.
  return version_code_ == 0 && !options_.docver.has_value() &&
         container_->GetContainerVersion() == 0x0101;
}

zoq::DecodeOptions PackageSession::Decode(int code) const {
  zoq::DecodeOptions decode;
  decode.code = code;
  decode.key = options_.has_key ? &key_info_ : nullptr;
  decode.max_output = options_.max_output;
  return decode;
}

}  // namespace zoqcli
