// zoq import: a folder tree stored as one revision.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/code_list.h"
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/file_output.h"
#include "zoq/ordered_work.h"
#include "cli/package_session.h"
#include "cli/parallel_option.h"
#include "cli/sxc_failure.h"

namespace zoqcli {
namespace {

// One file to store and the part it becomes.
struct ImportFile {
  std::string file;
  std::u16string part;
};

// Collects every regular file below `folder` (names sorted, links not
// followed) with its part path below the package folder `prefix` (ending
// with "/"), in the order they are stored.
void CollectFolder(const std::string& folder, const std::string& prefix,
                   std::vector<ImportFile>* out) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) throw ToolFailure("cannot read folder " + folder);
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string file = folder + "/" + name;
    struct stat info;
    if (::lstat(file.c_str(), &info) != 0) throw ToolFailure("cannot read " + file);
    if (S_ISDIR(info.st_mode)) {
      CollectFolder(file, prefix + name + "/", out);
    } else if (S_ISREG(info.st_mode)) {
      out->push_back({file, PackagePathArgument(prefix + name)});
    }
  }
}

// Encoded parts waiting to be filed stay below this many bytes (plus one
// part per worker) and below kPartsAheadPerWorker parts per worker. The part
// count is generous: while one worker deflates a large file, the others go
// on with the small files after it, and a window of a few parts made them
// wait (a quarter of the wall time of a two-worker import of a header tree
// whose largest files are a few MiB).
constexpr int64_t kEncodedBytesAhead = 64 << 20;
constexpr size_t kPartsAheadPerWorker = 256;

struct EncodedFile {
  int code = 0;
  std::unique_ptr<zoq::EncodedPart> part;
};

// Stores the files in list order. With more than one worker the files are
// encoded on worker threads, several at once, and filed here in list
// order, so the package is the same either way.
void StoreFiles(const PackageSession& session, const std::vector<ImportFile>& files,
                const std::vector<zoq::EcsCodeArg>& code_list, int workers) {
  zoq::Container* container = session.container();
  const zoq::EcsCodeArg* codes = code_list.empty() ? nullptr : code_list.data();
  const int count = static_cast<int>(code_list.size());
  if (workers <= 1) {
    for (const ImportFile& file : files) {
      CheckStored(container->AddPartFromFile(file.part, file.file, codes, count, false),
                  "cannot store " + file.file, session, code_list, file.file);
    }
    return;
  }
  zoq::OrderedWork<EncodedFile> encoding(
      files.size(), workers, kPartsAheadPerWorker * static_cast<size_t>(workers), kEncodedBytesAhead,
      [&](size_t index) {
        EncodedFile encoded;
        encoded.code = container->EncodePartFromFile(files[index].file, codes, count, &encoded.part);
        return encoded;
      },
      [](const EncodedFile& encoded) { return encoded.part ? encoded.part->stored_size() : 0; });
  for (const ImportFile& file : files) {
    EncodedFile encoded;
    encoding.TakeNext(&encoded);
    CheckStored(encoded.code, "cannot store " + file.file, session, code_list, file.file);
    Check(container->AddEncodedPart(file.part, encoded.part.get(), false, false),
          "cannot store " + file.file);
  }
}

int RunImport(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const int workers = WorkerCount(args);
  const auto& positionals = args.Positionals();
  const std::string& package = positionals[0];
  std::string prefix = positionals.size() > 2 ? positionals[2] : "/";
  if (prefix.empty() || prefix[0] != '/') prefix.insert(prefix.begin(), '/');
  if (prefix.back() != '/') prefix.push_back('/');
  struct stat existing;
  // A new package is made at once and its parts are written straight into
  // it; the import becomes its first revision when saved. Until then the
  // file opens as an empty package; a failed import removes it again.
  std::unique_ptr<CreatedFile> created;
  std::unique_ptr<PackageSession> made;
  if (::stat(package.c_str(), &existing) != 0) {
    created = std::make_unique<CreatedFile>(package);
    NewPackage create;
    create.docver = options.docver.value_or(0);
    made = std::make_unique<PackageSession>(package, options, create);
  } else {
    made = std::make_unique<PackageSession>(package, options, SessionUse::kContent);
  }
  PackageSession& session = *made;
  const std::string* code_text = args.Value("--codes");
  std::vector<zoq::EcsCodeArg> codes =
      ParseCodeList(code_text != nullptr ? *code_text : "", session.key());
  std::string folder = positionals[1];
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::vector<ImportFile> files;
  CollectFolder(folder, prefix, &files);
  StoreFiles(session, files, codes, workers);
  session.SaveIncremental(false);
  made.reset();
  if (created) created->Keep();
  return 0;
}

}  // namespace

const Command kImportCommand{
    "import",
    "import [--codes LIST] [--key HEX | --key-file F] [--docver N]\n"
    "           [--schema FILE] [-j N] PACKAGE DIR [PREFIX]",
    "store a folder tree as one revision",
    "Stores every file below DIR (symbolic links are skipped) as parts below the\n"
    "package folder PREFIX (default \"/\"), all in one new revision. A missing\n"
    "PACKAGE is created (of format 1.1, or as --docver asks), and removed again\n"
    "when the import fails.\n"
    "\n"
    "Options:\n"
    "  --codes LIST   ECS codes for every part, e.g. zip\n"
    ZOQ_HELP_KEY ZOQ_HELP_DOCVER ZOQ_HELP_SCHEMA
    "  -j N           encode files on N worker threads (default 1; 0: one per\n"
    "                 processor core; at most 32); the package is the same\n",
    {ZOQ_CONTENT_OPTIONS, kJobsOption, {"--codes", true}},
    2,
    3,
    RunImport,
};

}  // namespace zoqcli
