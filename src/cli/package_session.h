// One open package for the length of a command: the container made with the
// tool's folder as resource directory, opened at the revision limit, with
// the document type and schema chosen from the options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/package_options.h"
#include "zoq/container.h"
#include "zoq/decode_options.h"

namespace zoqcli {

enum class SessionUse {
  kStructure,  // tree, information and checks only: no temporary directory
  kContent,    // part content is read or written: temporary directory, document type
};

// What a new package is made with (zoq create, zoq import).
struct NewPackage {
  int subset = 0;  // 1 A, 2 P, 4 I, 8 M, 16 Full; 0 none
  int docver = 0;  // 256, 257, 258; 0 none
  int width = 4;   // offset width 2, 4 or 8
};

class PackageSession {
 public:
  // Throws CodeFailure when the container cannot be made or the package
  // cannot be opened, or when --docver or --schema are refused.
  PackageSession(const std::string& package_path, const PackageOptions& options, SessionUse use);
  // Starts a new, empty package at the path (written by the first save).
  PackageSession(const std::string& package_path, const PackageOptions& options,
                 const NewPackage& create);
  ~PackageSession();
  PackageSession(const PackageSession&) = delete;
  PackageSession& operator=(const PackageSession&) = delete;

  zoq::Container* container() const { return container_.get(); }
  int revision_limit() const { return options_.revision_limit; }
  const std::string& package_path() const { return package_path_; }
  // Decode options with `code` (255 decoded, 0 stored, 1/2/128 first code
  // kept) and the key, when one was given.
  zoq::DecodeOptions Decode(int code) const;
  // The key given with --key or --key-file, or null.
  const zoq::KeyInfo* key() const { return options_.has_key ? &key_info_ : nullptr; }
  // Saves the changes as one new revision (merged into the newest one when
  // asked and possible); throws CodeFailure.
  void SaveIncremental(bool merge);
  // The document version code in effect (0: none known).
  int version_code() const { return version_code_; }
  // Whether ADM-encrypted parts may or may not begin with a 16-byte initial
  // counter block: a format 1.1 package whose document version is unknown.
  bool CounterBlockUndecided() const;

 private:
  void MakeContainer(bool with_temp_dir);
  // Applies the document type that the package's "/__main.xml" names, with
  // --docver overriding its version (done for a package opened for
  // content). A --docver the package's format refuses throws CodeFailure.
  void ApplyDocumentType();

  std::string package_path_;
  PackageOptions options_;
  std::unique_ptr<zoq::Container> container_;
  SessionUse use_;
  zoq::KeyInfo key_info_;
  int version_code_ = 0;
};

// The folder that holds the running executable (where the binary schemas are
// looked up from), or "." when it cannot be told.
std::string ExecutableFolder();

// A package path typed by the user, as UTF-16 with a leading "/" added when
// missing. Text that is not UTF-8 is a UsageError.
std::u16string PackagePathArgument(const std::string& text);

}  // namespace zoqcli
