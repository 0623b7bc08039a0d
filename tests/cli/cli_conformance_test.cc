// Every conformance package through the zoq commands: the tree (ls, ls
// --json), content decoded, stored and with the first code kept (cat), the
// content at earlier revisions (cat -r) and the check bytes (verify), each
// against the case's expected results.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "json_value.h"
#include "run_zoq.h"

namespace zoqtest {
namespace {

using zoq::test::JsonValue;

// The cases whose package opens (or, with `opens` false, fails to open).
std::vector<std::string> CaseNames(bool opens) {
  std::vector<std::string> names;
  const std::string suffix = ".expected.json";
  std::error_code ignored;
  for (const auto& entry :
       std::filesystem::directory_iterator(TestDataDir() + "/package", ignored)) {
    std::string file = entry.path().filename().string();
    if (file.size() > suffix.size() &&
        file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0) {
      std::string name = file.substr(0, file.size() - suffix.size());
      JsonValue expected = JsonValue::ParseFile(entry.path().string());
      if ((expected["open"].AsInt() == 0) == opens) names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

class CliConformance : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    expected_ = JsonValue::ParseFile(TestDataDir() + "/package/" + GetParam() + ".expected.json");
    package_ = Package(GetParam());
    const JsonValue& args = expected_["args"];
    if (args["key"].IsString()) key_args_ = {"--key", args["key"].AsString()};
    if (args["docver"].IsNumber() && args["docver"].AsInt() != 0) {
      key_args_.push_back("--docver");
      key_args_.push_back(std::to_string(args["docver"].AsInt()));
    }
    if (args["limit"].IsNumber() && args["limit"].AsInt() != 0) {
      limit_args_ = {"-r", std::to_string(args["limit"].AsInt())};
    }
  }

  // Runs "zoq COMMAND [limit] [key] EXTRA... PACKAGE TAIL...".
  RunResult Run(const std::string& command, std::vector<std::string> extra,
                std::vector<std::string> tail = {}, bool with_limit = true) {
    std::vector<std::string> args = {command};
    if (with_limit) args.insert(args.end(), limit_args_.begin(), limit_args_.end());
    if (command == "cat") args.insert(args.end(), key_args_.begin(), key_args_.end());
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(package_);
    args.insert(args.end(), tail.begin(), tail.end());
    return RunZoq(args);
  }

  // A content expectation: {"length", "sha256"} or {"error"}.
  void ExpectContent(const RunResult& run, const JsonValue& expected, const std::string& what) {
    SCOPED_TRACE(what);
    if (expected.Has("error")) return ExpectCode(run, expected["error"].AsInt());
    // Stored data that fails its check byte is written as read, with a
    // warning and exit status 1: only in a package whose checks fail.
    const bool damaged =
        run.status == 1 && run.err.find("does not match its check byte") != std::string::npos;
    if (damaged) {
      EXPECT_NE(expected_["verify"]["all"].AsInt(), 0) << run.err;
    }
    ASSERT_EQ(run.status, damaged ? 1 : 0) << run.err;
    EXPECT_EQ(static_cast<int64_t>(run.out.size()), expected["length"].AsInt());
    EXPECT_EQ(Sha256Hex(run.out), expected["sha256"].AsString());
  }

  void ExpectCode(const RunResult& run, int64_t code) {
    if (code == 0) {
      EXPECT_EQ(run.status, 0) << run.err;
    } else {
      ExpectFailure(run, 1, "zoq: error " + std::to_string(code));
    }
  }

  std::vector<std::string> ExpectedTreeBelowRoot() const {
    std::vector<std::string> tree;
    for (const JsonValue& path : expected_["tree"].Items()) {
      if (path.AsString() != "/") tree.push_back(path.AsString());
    }
    return tree;
  }

  JsonValue expected_;
  std::string package_;
  std::vector<std::string> key_args_;
  std::vector<std::string> limit_args_;
};

using CliOpenFailure = CliConformance;

TEST_P(CliOpenFailure, IsReportedWithItsCode) {
  int64_t open = expected_["open"].AsInt();
  for (const char* command : {"ls", "verify", "stat", "info"}) {
    SCOPED_TRACE(command);
    RunResult run = Run(command, {});
    ExpectCode(run, open);
    EXPECT_TRUE(run.out.empty());
  }
}

TEST_P(CliConformance, ListsTheTree) {
  RunResult run = Run("ls", {});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(SplitLines(run.out), ExpectedTreeBelowRoot());
}

TEST_P(CliConformance, ListsPartInformationAsJson) {
  RunResult run = Run("ls", {"--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  JsonValue listed = JsonValue::Parse(run.out);
  std::vector<std::string> paths;
  for (const JsonValue& item : listed.Items()) {
    const std::string& path = item["path"].AsString();
    paths.push_back(path);
    SCOPED_TRACE(path);
    bool folder = path.back() == '/';
    EXPECT_EQ(item["kind"].AsString(), folder ? "folder" : "part");
    if (folder) continue;
    const JsonValue& info = expected_["parts"][path]["info"];
    ASSERT_TRUE(info.IsObject());
    EXPECT_EQ(item["size"].AsInt(), info["size"].AsInt());
    EXPECT_EQ(item["total_size"].AsInt(), info["total"].AsInt());
    EXPECT_EQ(item["deleted"].AsBool(), info["deleted"].AsBool());
    EXPECT_EQ(item["skippable"].AsBool(), info["skippable"].AsBool());
    std::vector<int64_t> revisions;
    std::vector<int64_t> expected_revisions;
    for (const JsonValue& r : item["revisions"].Items()) revisions.push_back(r.AsInt());
    for (const JsonValue& r : info["revisions"].Items())
      expected_revisions.push_back(r.AsInt() + 1);
    EXPECT_EQ(revisions, expected_revisions);
    std::vector<int64_t> codes;
    std::vector<int64_t> expected_codes;
    for (const JsonValue& c : item["codes"].Items()) codes.push_back(c.AsInt());
    for (const JsonValue& c : info["codes"].Items()) expected_codes.push_back(c.AsInt());
    EXPECT_EQ(codes, expected_codes);
  }
  EXPECT_EQ(paths, ExpectedTreeBelowRoot());
}

TEST_P(CliConformance, CatGivesEveryFormOfContent) {
  const auto& parts = expected_["parts"].Members();
  // Packages with many parts are sampled evenly: every run starts a process.
  size_t step = std::max<size_t>(1, parts.size() / 24);
  size_t index = 0;
  for (const auto& [path, part] : parts) {
    if (index++ % step != 0) continue;
    ExpectContent(Run("cat", {}, {path}), part["content"], "cat " + path);
    ExpectContent(Run("cat", {"--raw"}, {path}), part["stored"], "cat --raw " + path);
    const JsonValue& first = part["first_code"];
    if (first.IsObject()) {
      ExpectContent(Run("cat", {"--keep", std::to_string(first["code"].AsInt())}, {path}), first,
                    "cat --keep " + path);
    }
    for (const auto& [limit, state] : part["history"].Members()) {
      RunResult run = Run("cat", {"-r", limit}, {path}, false);
      // A part deleted at that revision is not in its tree: the tool names
      // the deletion instead of the content walk's failure.
      if (state["info"].IsObject() && state["info"]["deleted"].AsBool()) {
        SCOPED_TRACE("cat -r " + limit + " " + path);
        ExpectFailure(run, 1, "zoq: error 5054");
        EXPECT_TRUE(HasText(run.err, "(deleted in revision ")) << run.err;
        continue;
      }
      ExpectContent(run, state["content"], "cat -r " + limit + " " + path);
    }
  }
}

TEST_P(CliConformance, VerifyReportsTheFirstFailingCheck) {
  const JsonValue& verify = expected_["verify"];
  {
    SCOPED_TRACE("verify");
    ExpectCode(Run("verify", {}), verify["current"].AsInt());
  }
  {
    SCOPED_TRACE("verify --all");
    ExpectCode(Run("verify", {"--all"}), verify["all"].AsInt());
  }
}

std::string CaseName(const testing::TestParamInfo<std::string>& info) { return info.param; }

INSTANTIATE_TEST_SUITE_P(Corpus, CliConformance, testing::ValuesIn(CaseNames(true)), CaseName);
INSTANTIATE_TEST_SUITE_P(Corpus, CliOpenFailure, testing::ValuesIn(CaseNames(false)), CaseName);

}  // namespace
}  // namespace zoqtest
