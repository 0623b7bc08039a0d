// Damaged copies of valid packages: every byte flipped (a seeded sample of
// bytes for the larger packages) and every truncation. Opening and reading
// must never crash or hang. Every read asks for the check of the stored
// bytes, so a damaged data byte fails the read with 5022: a read that
// succeeds must give exactly the content the undamaged package gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "hardening_util.h"
#include "zoq/container.h"
#include "test_util.h"

namespace zoq {
namespace {

std::unique_ptr<Container> MakeContainer() {
  ContainerOptions options;
  options.resource_dir = ZOQ_RESOURCE_DIR;
  options.no_temp_dir = true;
  Container* c = nullptr;
  if (CreateContainer(&options, &c) != 0) return nullptr;
  return std::unique_ptr<Container>(c);
}

// What reading one part gives: the result code and, on success, the bytes.
struct Read {
  int code = 0;
  std::vector<uint8_t> bytes;
};

Read ReadOnce(Container* c, const std::u16string& path, int code) {
  DecodeOptions options{code, &hardening::TestKey()};
  options.check_stored = true;
  Read r;
  int64_t length = 0;
  r.code = c->ReadPart(path, nullptr, &length, 0, &options);
  if (r.code != 0) return r;
  if (length < 0 || length > (64 << 20)) {
    r.code = -1;  // an impossible length: reported by the caller
    return r;
  }
  r.bytes.resize(static_cast<size_t>(length));
  int64_t got = length;
  r.code = c->ReadPart(path, r.bytes.data(), &got, 0, &options);
  if (r.code == 0 && got != length) r.code = -2;
  return r;
}

// The content of every part of the undamaged package, fully decoded and as
// stored; only reads that succeed there are compared.
using Reference = std::map<std::pair<std::u16string, int>, std::vector<uint8_t>>;

Reference ReadReference(const std::vector<uint8_t>& package) {
  auto c = MakeContainer();
  EXPECT_NE(c, nullptr);
  Reference ref;
  if (c == nullptr || c->OpenMemory(package.data(), static_cast<int64_t>(package.size()), 0) != 0) {
    ADD_FAILURE() << "the undamaged package does not open";
    return ref;
  }
  std::vector<std::u16string> parts;
  c->ListParts(u"/", &parts).IgnoreError();  // damaged input may fail: only crashes count
  for (const auto& path : parts) {
    for (int code : {255, 0}) {
      Read r = ReadOnce(c.get(), path, code);
      if (r.code == 0) ref[{path, code}] = std::move(r.bytes);
    }
  }
  EXPECT_FALSE(ref.empty());
  return ref;
}

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// Opens a damaged copy and reads everything the reference holds, walking
// the tree on the way. Returns a description of the first fault, or "".
std::string CheckDamaged(const std::vector<uint8_t>& damaged, const Reference& ref,
                         int* flagged) {
  auto c = MakeContainer();
  if (c == nullptr) return "no container";
  if (damaged.empty()) {
    return c->OpenMemory(damaged.data(), 0, 0) == 0 ? "an empty package opened" : "";
  }
  if (c->OpenMemory(damaged.data(), static_cast<int64_t>(damaged.size()), 0) != 0) return "";
  std::vector<std::u16string> parts;
  c->ListParts(u"/", &parts).IgnoreError();  // damaged input may fail: only crashes count
  for (const auto& path : parts) {
    PartInfo info;
    c->GetPartInfoByPath(&info, path, 0).IgnoreError();  // may fail: only crashes count
  }
  c->VerifyChecks(true).IgnoreError();  // damaged input may fail: only crashes count
  for (const auto& [key, expected] : ref) {
    Read r = ReadOnce(c.get(), key.first, key.second);
    if (r.code < 0) return "impossible length or count for " + Narrow(key.first);
    if (r.code == kChecksumFailed) ++*flagged;
    if (r.code == 0 && r.bytes != expected) {
      return "wrong content with success for " + Narrow(key.first) + " code " +
             std::to_string(key.second);
    }
  }
  return "";
}

struct SweepCase {
  const char* package;
  size_t sampled_flips;  // 0: every byte
  size_t sampled_cuts;   // 0: every length
};

class CorruptionSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(CorruptionSweep, FlippedBytesAndTruncations) {
  const SweepCase& sweep = GetParam();
  const std::vector<uint8_t> package = test::ReadFileBytes(test::DataDir() + "/" + sweep.package);
  ASSERT_FALSE(package.empty());
  const Reference ref = ReadReference(package);
  std::mt19937 random(20261208u);

  std::vector<size_t> flips, cuts;
  for (size_t i = 0; i < package.size(); ++i) flips.push_back(i);
  for (size_t i = 0; i < package.size(); ++i) cuts.push_back(i);
  auto sample = [&](std::vector<size_t>* v, size_t n) {
    if (n == 0 || n >= v->size()) return;
    std::shuffle(v->begin(), v->end(), random);
    v->resize(n);
    std::sort(v->begin(), v->end());
  };
  sample(&flips, sweep.sampled_flips);
  sample(&cuts, sweep.sampled_cuts);

  int faults = 0;
  int flagged = 0;  // reads that answered 5022
  std::vector<uint8_t> damaged = package;
  for (size_t at : flips) {
    // A changed low bit, a changed high bit or a whole new byte, by turns.
    static const uint8_t kMasks[] = {0x01, 0x80, 0xff, 0x10};
    const uint8_t mask = kMasks[at % 4];
    damaged[at] ^= mask;
    const std::string fault = CheckDamaged(damaged, ref, &flagged);
    damaged[at] ^= mask;
    if (!fault.empty() && ++faults <= 10)
      ADD_FAILURE() << sweep.package << ": byte " << at << " ^ " << int(mask) << ": " << fault;
  }
  for (size_t length : cuts) {
    const std::vector<uint8_t> cut(package.begin(), package.begin() + static_cast<long>(length));
    const std::string fault = CheckDamaged(cut, ref, &flagged);
    if (!fault.empty() && ++faults <= 10)
      ADD_FAILURE() << sweep.package << ": cut at " << length << ": " << fault;
  }
  EXPECT_EQ(faults, 0);
  RecordProperty("cases", static_cast<int>(flips.size() + cuts.size()));
  RecordProperty("flagged_by_reads", flagged);
  std::printf("%s: %zu flips, %zu cuts, %d reads flagged damaged\n", sweep.package,
              flips.size(), cuts.size(), flagged);
}

INSTANTIATE_TEST_SUITE_P(
    Packages, CorruptionSweep,
    ::testing::Values(SweepCase{"v_tables_mixed.zoq", 0, 0}, SweepCase{"v_utf8_paths.zoq", 0, 0},
                      SweepCase{"v_compact.zoq", 0, 0}, SweepCase{"v_gaps.zoq", 0, 0},
                      SweepCase{"v_history.zoq", 0, 0}, SweepCase{"v_w2_incremental.zoq", 0, 0},
                      SweepCase{"v_skippable.zoq", 0, 0}, SweepCase{"v_zero_length.zoq", 0, 0},
                      SweepCase{"v_w8_revisions.zoq", 2000, 1000},
                      SweepCase{"v_seven_codes.zoq", 2000, 1000}),
    [](const ::testing::TestParamInfo<SweepCase>& info) {
      std::string name = info.param.package;
      name = name.substr(0, name.find('.'));
      return name;
    });

}  // namespace
}  // namespace zoq
