// zoq import: a folder tree stored as one revision.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "cli/code_list.h"
#include "cli/command.h"
#include "cli/failure.h"
#include "cli/package_session.h"

namespace zoqcli {
namespace {

struct Importer {
  zoq::Container* container;
  const zoq::EcsCodeArg* codes;
  int count;
  int64_t files = 0;

  // Stores every regular file below `folder` (names sorted, links not
  // followed) under the package folder `prefix` (ending with "/").
  void ImportFolder(const std::string& folder, const std::string& prefix) {
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
        ImportFolder(file, prefix + name + "/");
      } else if (S_ISREG(info.st_mode)) {
        Check(container->AddPartFromFile(PackagePathArgument(prefix + name), file, codes, count,
                                         false),
              "cannot store " + file);
        ++files;
      }
    }
  }
};

int RunImport(const ParsedArgs& args) {
  PackageOptions options = ReadPackageOptions(args);
  const auto& positionals = args.Positionals();
  const std::string& package = positionals[0];
  std::string prefix = positionals.size() > 2 ? positionals[2] : "/";
  if (prefix.empty() || prefix[0] != '/') prefix.insert(prefix.begin(), '/');
  if (prefix.back() != '/') prefix.push_back('/');
  struct stat existing;
  if (::stat(package.c_str(), &existing) != 0) {
    // A new package is written empty first; the import is its first revision.
    PackageSession(package, options, NewPackage{}).SaveIncremental(false);
  }
  PackageSession session(package, options, SessionUse::kContent);
  const std::string* code_text = args.Value("--codes");
  std::vector<zoq::EcsCodeArg> codes =
      ParseCodeList(code_text != nullptr ? *code_text : "", session.key());
  Importer importer{session.container(), codes.empty() ? nullptr : codes.data(),
                    static_cast<int>(codes.size())};
  std::string folder = positionals[1];
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  importer.ImportFolder(folder, prefix);
  session.SaveIncremental(false);
  return 0;
}

}  // namespace

const Command kImportCommand{
    "import",
    "import [--codes LIST] [--key HEX | --key-file F] [--docver N] PACKAGE DIR [PREFIX]",
    "store a folder tree as one revision",
    "Stores every file below DIR (symbolic links are skipped) as parts below the\n"
    "package folder PREFIX (default \"/\"), all in one new revision. A missing\n"
    "PACKAGE is created.\n"
    "\n"
    "Options:\n"
    "  --codes LIST   ECS codes for every part, e.g. zip\n"
    "  --key HEX      the key for adm; --key-file F reads it from a file\n"
    "  --docver N     document version code (see \"zoq add --help\")\n",
    {kKeyOption, kKeyFileOption, kDocverOption, kSchemaOption, {"--codes", true}},
    2,
    3,
    RunImport,
};

}  // namespace zoqcli
