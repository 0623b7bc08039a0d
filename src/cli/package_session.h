// One open package for the length of a command: the container made with the
// tool's folder as resource directory, opened at the revision limit, with
// the document type and schema chosen from the options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/package_options.h"
#include "package/container.h"
#include "package/decode_options.h"

namespace zoqcli {

enum class SessionUse {
  kStructure,  // tree, information and checks only: no temporary directory
  kContent,    // part content is read: temporary directory, document type
};

class PackageSession {
 public:
  // Throws CodeFailure when the container cannot be made or the package
  // cannot be opened, or when --docver or --schema are refused.
  PackageSession(const std::string& package_path, const PackageOptions& options, SessionUse use);
  ~PackageSession();
  PackageSession(const PackageSession&) = delete;
  PackageSession& operator=(const PackageSession&) = delete;

  zoq::Container* container() const { return container_.get(); }
  int revision_limit() const { return options_.revision_limit; }
  const std::string& package_path() const { return package_path_; }
  // Decode options with `code` (255 decoded, 0 stored, 1/2/128 first code
  // kept) and the key, when one was given.
  zoq::DecodeOptions Decode(int code) const;

 private:
  void ApplyDocumentType();

  std::string package_path_;
  PackageOptions options_;
  std::unique_ptr<zoq::Container> container_;
  SessionUse use_;
  zoq::KeyInfo key_info_;
};

// The folder that holds the running executable (where Resource/BinarySchema/
// is looked up), or "." when it cannot be told.
std::string ExecutableFolder();

// A package path typed by the user, as UTF-16 with a leading "/" added when
// missing. Text that is not UTF-8 is a UsageError.
std::u16string PackagePathArgument(const std::string& text);

}  // namespace zoqcli
