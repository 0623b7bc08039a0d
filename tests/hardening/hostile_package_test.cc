// Packages and documents built to do harm, each with the outcome a user
// should get: names that try to leave the export folder, tables and parts
// that inflate a thousandfold, counts and offsets near 2^31 and 2^63, an
// entry chain that loops, a data record with eight codes, an SXC document
// that asks for hundreds of millions of occurrences, and XML entity
// expansion handed to the encoder.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hardening_util.h"
#include "hostile_input.h"
#include "zoq/container.h"
#include "package_builder.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq::hardening {
namespace {

namespace fs = std::filesystem;
using test::MakeContainer;
using test::PutLittle;

constexpr int64_t kMiB = 1 << 20;

// The tool's runs start from a small process, so that their peak is theirs.
const bool spawner_started = (StartToolSpawner(), true);

// A one-entry package whose parts are given as (path, data record) pairs.
RawPackage OneEntry(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& parts,
                    int width = 4, uint8_t flags = 0) {
  RawEntry entry;
  entry.flags = flags;
  std::vector<std::pair<int, std::string>> names;
  int64_t offset = 4;
  for (size_t i = 0; i < parts.size(); ++i) {
    names.emplace_back(static_cast<int>(i) + 1, parts[i].first);
    AddItem(&entry.items, 1, static_cast<uint64_t>(offset), static_cast<int>(i) + 1, width);
    entry.bitstream.insert(entry.bitstream.end(), parts[i].second.begin(), parts[i].second.end());
    offset += static_cast<int64_t>(parts[i].second.size());
  }
  AddEnd(&entry.items, width);
  entry.names = NameTable(names);
  return BuildRaw({entry}, width);
}

// A one-entry package of parts holding one byte each, by name.
RawPackage OneByteParts(const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> parts;
  for (const std::string& name : names) parts.emplace_back(name, DataRecord({'x'}, {}, 4));
  return OneEntry(parts);
}

int Open(Container* c, const std::vector<uint8_t>& bytes) {
  return c->OpenMemory(bytes.data(), static_cast<int64_t>(bytes.size()), 0);
}

// Opens `bytes` in a fresh container and measures what that costs; the
// open's code.
int OpenMeasured(const std::vector<uint8_t>& bytes, Cost* cost) {
  int code = -1;
  *cost = Measure([&] {
    auto c = MakeContainer();
    code = Open(c.get(), bytes);
  });
  return code;
}

// Reads a part through OpenPart in 64 KiB pieces; the code of the first
// failure, the length read.
int StreamPart(Container* c, const std::u16string& path, int64_t* length) {
  *length = 0;
  Stream* s = nullptr;
  int code = c->OpenPart(path, &s, 0, nullptr, false);
  if (code != kOk) return code;
  std::unique_ptr<Stream> owner(s);
  std::vector<uint8_t> piece(64 * 1024);
  for (;;) {
    int64_t done = 0;
    code = s->Read(piece.data(), static_cast<int64_t>(piece.size()), &done);
    if (code != kOk) return code;
    if (done <= 0) return kOk;
    *length += done;
  }
}

// --- Names that try to leave the export folder. -----------------------------

// Runs the zoq tool, its output dropped; its exit status.
int RunZoq(const std::vector<std::string>& args) {
  return RunZoqBounded(args, 1024 * kMiB, 120).status;
}

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> TreeBelow(const std::string& dir) {
  std::vector<std::string> out;
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    out.push_back(fs::relative(e.path(), dir).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(HostileNames, ClimbingNamesNeverBecomeParts) {
  // Raw stored names that would climb out of a folder if taken literally.
  const std::vector<std::string> climbing = {
      "/../escape.txt",        "/a/../../escape.txt", "/..",
      "/a/..",                 "/./escape.txt",       "/..\\escape.txt",
      "/\xC0\xAE\xC0\xAE/escape.txt",  // "..", spelled with overlong UTF-8
      "/\xE0\x80\xAE\xE0\x80\xAE/x",   // the same, three bytes per dot
      "/a/\xC0\xAF../escape.txt",      // an overlong "/"
      "//escape.txt",          "/a//b",
  };
  for (const std::string& name : climbing) {
    RawPackage pkg = OneByteParts({name});
    auto c = MakeContainer();
    EXPECT_EQ(Open(c.get(), pkg.bytes), kItemListReadFailed) << name;
    EXPECT_EQ(c->GetNode(u"/"), nullptr) << name;
  }
}

TEST(HostileNames, ExtractWritesNothingOutsideTheTarget) {
  test::ScratchDir dir;
  const std::string outside = dir.File("outside");
  const std::string target = dir.File("out");
  fs::create_directories(outside);
  // A package that refers to a climbing name: refused as a whole.
  const std::string climb = dir.File("climb.zoq");
  WriteFile(climb, OneByteParts({"/ok.txt", "/../../outside/evil.txt"}).bytes);
  EXPECT_NE(RunZoq({"extract", "-d", target, climb}), 0);
  EXPECT_TRUE(TreeBelow(target).empty());
  // Legal names that look odd: dots, spaces, a folder and a part sharing a
  // name, a component longer than a file name may be, control characters.
  std::string long_name = "/long-";
  for (int i = 0; i < 80; ++i) long_name += "\xE5\x90\x8D";  // 3 bytes each: 246 bytes
  long_name += "\xE5\x90\x8D\xE5\x90\x8D\xE5\x90\x8D.txt";
  const std::string file = dir.File("odd.zoq");
  WriteFile(file, OneByteParts({"/...", "/.hidden", "/a b/c .txt", "/clash", "/clash/inner.txt",
                                "/ctl\x01\x1b[31m.txt", long_name, "/plain.txt"})
                      .bytes);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, true), kOk);
  c.reset();
  const int status = RunZoq({"extract", "-d", target, file});
  EXPECT_LT(status, 128) << "zoq extract crashed";
  // Whatever could not be written is reported; nothing lands outside.
  EXPECT_TRUE(TreeBelow(outside).empty());
  const std::vector<std::string> names = TreeBelow(dir.path());
  for (const std::string& name : names) {
    EXPECT_TRUE(name == "outside" || name == "out" || name.rfind("out/", 0) == 0 ||
                name == "climb.zoq" || name == "odd.zoq")
        << "written outside the target: " << name;
  }
}

TEST(HostileNames, APartAndAFolderOfOneNameAreBothShown) {
  test::ScratchDir dir;
  // Either may come first in the package.
  for (const bool part_first : {true, false}) {
    const std::vector<std::string> names =
        part_first ? std::vector<std::string>{"/clash", "/clash/inner.txt"}
                   : std::vector<std::string>{"/clash/inner.txt", "/clash"};
    const RawPackage pkg = OneByteParts(names);
    auto c = MakeContainer();
    ASSERT_EQ(Open(c.get(), pkg.bytes), kOk);
    PathNode* part = c->GetNode(u"/clash");
    PathNode* folder = c->GetNode(u"/clash/");
    ASSERT_NE(part, nullptr);
    ASSERT_NE(folder, nullptr);
    EXPECT_FALSE(part->IsFolder());
    EXPECT_TRUE(folder->IsFolder());
    EXPECT_EQ(part->OtherOfSameName(), folder);
    EXPECT_EQ(folder->OtherOfSameName(), part);
    const std::vector<PathNode*> in_order =
        part_first ? std::vector<PathNode*>{part, folder} : std::vector<PathNode*>{folder, part};
    EXPECT_EQ(c->GetNode(u"/")->Children(), in_order);
    EXPECT_EQ(c->GetPathKind(u"/clash"), kPathPart);
    EXPECT_EQ(c->GetPathKind(u"/clash/"), kPathFolder);
    EXPECT_NE(c->GetNode(u"/clash/inner.txt"), nullptr);
    std::vector<uint8_t> content;
    EXPECT_EQ(test::ReadContent(c.get(), u"/clash", 0, nullptr, false, &content), kOk);
    // The tools list both, the part marked, and count both.
    const std::string file = dir.File("clash.zoq");
    WriteFile(file, pkg.bytes);
    const std::string out = dir.File("out");
    ASSERT_EQ(RunZoqBounded({"ls", file}, 1024 * kMiB, 60, out).status, 0);
    const std::string listed = ReadText(out);
    EXPECT_NE(listed.find("/clash  (a part beside the folder of the same name)\n"),
              std::string::npos) << listed;
    EXPECT_NE(listed.find("/clash/\n/clash/inner.txt\n"), std::string::npos) << listed;
    ASSERT_EQ(RunZoqBounded({"info", "--json", file}, 1024 * kMiB, 60, out).status, 0);
    EXPECT_NE(ReadText(out).find("\"parts\": 2"), std::string::npos) << ReadText(out);
    EXPECT_NE(ReadText(out).find("\"folders\": 2"), std::string::npos) << ReadText(out);
    // Extraction writes the folder and reports the part it cannot write.
    const std::string target = dir.File(part_first ? "x1" : "x2");
    const std::string err = dir.File("err");
    ASSERT_EQ(RunZoqBounded({"extract", "-d", target, file}, 1024 * kMiB, 60, out, err).status, 1);
    EXPECT_NE(ReadText(err).find("/clash: a folder of the same name is written there, so the "
                                 "part is not written as a file"),
              std::string::npos)
        << ReadText(err);
    EXPECT_EQ(ReadText(target + "/clash/inner.txt").size(), 1u);
    // Deleting the folder's last part takes the folder, never the part.
    ASSERT_EQ(c->DeletePart(u"/clash/inner.txt"), kOk);
    EXPECT_EQ(c->GetNode(u"/clash/"), nullptr);
    EXPECT_EQ(c->GetNode(u"/clash"), part);
    EXPECT_EQ(part->OtherOfSameName(), nullptr);
  }
}

// --- Inflating tables and parts. --------------------------------------------

TEST(HostileInflation, NameTableInflatingAThousandfoldIsBounded) {
  // A valid Name Table followed by 32 MiB of zeros (ignored bytes), stored
  // compressed in about 32 KiB.
  RawEntry entry = OnePart();
  entry.flags = 1;
  entry.names.resize(entry.names.size() + 32 * kMiB, 0);
  RawPackage pkg = BuildRaw({entry});
  ASSERT_LT(pkg.bytes.size(), 128u * 1024);
  Cost cost;
  const int code = OpenMeasured(pkg.bytes, &cost);
  // Either outcome is sound; memory stays far below the inflated size.
  EXPECT_TRUE(code == kOk || code == kNameTableReadFailed) << code;
  EXPECT_LT(Measured(cost.growth), 24 * kMiB);
}

// A compressed Name Table of `count` names, the k-th keyed k, all with the
// path `path`; deflated piece by piece, never held plain.
std::vector<uint8_t> CompressedNames(uint32_t count, const std::string& path) {
  std::vector<uint8_t> record = Key(1);
  record.insert(record.end(), path.begin(), path.end());
  record.push_back(0);
  std::vector<uint8_t> plain(4 + 4096 * record.size()), out;
  test::PutLittle(&plain, 0, count, 4);
  size_t used = 4;
  z_stream z{};
  deflateInit(&z, 1);
  auto feed = [&](int flush) {
    z.next_in = plain.data();
    z.avail_in = static_cast<uInt>(used);
    do {
      const size_t at = out.size();
      out.resize(at + (1 << 20));
      z.next_out = out.data() + at;
      z.avail_out = 1 << 20;
      deflate(&z, flush);
      out.resize(at + (1 << 20) - z.avail_out);
    } while (z.avail_in > 0 || (flush == Z_FINISH && z.avail_out == 0));
    used = 0;
  };
  for (uint32_t k = 1; k <= count; ++k) {
    if (used + record.size() > plain.size()) feed(Z_NO_FLUSH);
    test::PutLittle(&record, 0, k, 4);
    std::memcpy(plain.data() + used, record.data(), record.size());
    used += record.size();
  }
  feed(Z_FINISH);
  deflateEnd(&z);
  return out;
}

TEST(HostileInflation, NameTablesCostWhatTheItemListUses) {
  // A million well-formed names of 259 code units (276 MB inflated), of
  // which the Item List uses the last; and a table of a gigabyte of zeros.
  RawEntry many;
  const uint32_t count = 1000000;
  const std::string path = "/" + std::string(258, 'n');
  many.names = CompressedNames(count, path);
  many.bitstream = DataRecord({'a'}, {}, 4);
  AddItem(&many.items, 1, 4, static_cast<int>(count), 4);
  AddEnd(&many.items, 4);
  RawEntry zeros = OnePart();
  zeros.names = ZerosStream({}, uint64_t{1} << 30);
  // The tables go in as given; the flag then says the Name Table is
  // compressed (the digest covers the tables only).
  auto compressed_names = [](const RawEntry& entry) {
    RawPackage pkg = BuildRaw({entry});
    pkg.bytes[static_cast<size_t>(pkg.entry_offsets[0]) + 8 + 2 * 4] = 1;
    return pkg.bytes;
  };
  test::ScratchDir dir;
  const std::string names = dir.File("names.zoq"), empty = dir.File("zeros.zoq");
  WriteFile(names, compressed_names(many));
  WriteFile(empty, compressed_names(zeros));
  const std::string out = dir.File("out");
  for (const auto& [file, status] : {std::pair{empty, 1}, std::pair{names, 0}}) {
    const ChildRun run = RunZoqBounded({"ls", file}, 512 * kMiB, 120, out);
    RecordProperty(file + " peak MiB", static_cast<int>(run.peak / kMiB));
    RecordProperty(file + " ms", static_cast<int>(run.seconds * 1000));
    EXPECT_FALSE(run.stopped) << file;
    EXPECT_EQ(run.status, status) << file;
    // The tool's own 40 MiB at start and the stored tables, sanitizer
    // bookkeeping included.
    EXPECT_LT(run.peak, 100 * kMiB) << file;
  }
  EXPECT_EQ(ReadText(out), path + "\n");
}

TEST(HostileInflation, ItemListInflatingAThousandfoldIsBounded) {
  // 1.2 million type-0 records (24 MiB plain) naming one path, stored
  // compressed in about 60 KiB. Type-0 records carry nothing.
  RawEntry entry;
  entry.flags = 2;
  entry.names = NameTable({{1, "/a.txt"}});
  entry.bitstream = DataRecord({'a'}, {}, 4);
  AddItem(&entry.items, 1, 4, 1, 4);
  std::vector<uint8_t> none;
  AddItem(&none, 0, 0, 1, 4);
  const size_t records = 24 * kMiB / none.size();
  entry.items.reserve(entry.items.size() + records * none.size() + 64);
  for (size_t i = 0; i < records; ++i) entry.items.insert(entry.items.end(), none.begin(), none.end());
  AddEnd(&entry.items, 4);
  RawPackage pkg = BuildRaw({entry});
  ASSERT_LT(pkg.bytes.size(), 256u * 1024);
  Cost cost;
  const int code = OpenMeasured(pkg.bytes, &cost);
  RecordProperty("open_code", code);
  RecordProperty("peak_growth_mib", static_cast<int>(cost.growth / kMiB));
  EXPECT_LT(cost.seconds, 60.0);
  // Opening costs memory in proportion to the file, not to what its tables
  // inflate to: an Item List with more records than stored bytes is refused.
  EXPECT_EQ(code, kItemListReadFailed);
  EXPECT_LT(Measured(cost.growth), 48 * kMiB);
}

TEST(HostileInflation, PartInflatingAThousandfoldStreamsInBoundedMemory) {
  const std::vector<uint8_t> zeros(32 * kMiB, 0);
  const std::vector<uint8_t> stored = test::Compress(zeros);
  ASSERT_LT(stored.size(), 128u * 1024);
  RawPackage pkg = OneEntry({{"/bomb.bin", DataRecord(stored, {2}, 4)}});
  auto c = MakeContainer();
  ASSERT_EQ(Open(c.get(), pkg.bytes), kOk);
  int64_t length = 0;
  int code = -1;
  int64_t growth = PeakGrowth([&] { code = StreamPart(c.get(), u"/bomb.bin", &length); });
  EXPECT_EQ(code, kOk);
  EXPECT_EQ(length, 32 * kMiB);
  EXPECT_LT(Measured(growth), 16 * kMiB);
  // Asking for the decoded length and checking the package also stream.
  growth = PeakGrowth([&] {
    length = 0;
    code = c->ReadPart(u"/bomb.bin", nullptr, &length, 0, nullptr);
    EXPECT_EQ(c->VerifyChecks(true), kOk);
  });
  EXPECT_EQ(code, kOk);
  EXPECT_EQ(length, 32 * kMiB);
  EXPECT_LT(Measured(growth), 16 * kMiB);
}

// --- Damaged stored data. ------------------------------------------------------

TEST(HostileDamage, DamagedStoredBytesAreFlaggedWhereTheyAreRead) {
  // /a.txt plain, /b.txt compressed, /c.txt created and then appended to.
  const std::vector<uint8_t> package = test::RevisedPackage(3);
  ASSERT_FALSE(package.empty());
  test::ScratchDir dir;
  const std::string file = dir.File("damaged.zoq");
  DecodeOptions checked;
  checked.check_stored = true;
  for (const std::u16string path : {u"/a.txt", u"/b.txt", u"/c.txt"}) {
    const std::string name = test::U8(path);
    std::vector<uint8_t> damaged = package;
    {
      auto c = MakeContainer();
      ASSERT_EQ(Open(c.get(), package), kOk);
      int64_t position = 0, size = 0;  // of the part's first (full) record
      ASSERT_EQ(c->GetPartLocation(path, &position, &size), kOk);
      damaged[static_cast<size_t>(position + size / 2)] ^= 0x20;
    }
    auto c = MakeContainer();
    ASSERT_EQ(Open(c.get(), damaged), kOk);
    std::vector<uint8_t> as_read;
    const int unchecked = test::ReadContent(c.get(), path, 0, nullptr, false, &as_read);
    // Asked for, the check never lets damaged bytes pass as sound.
    int64_t length = 0;
    EXPECT_NE(c->ReadPart(path, nullptr, &length, 0, &checked), kOk) << name;
    if (unchecked != kOk) continue;  // the damage already breaks decoding
    // Content that decodes is still delivered whole, then flagged: by the
    // read that meets its end, by ReadPart and by ExtractPart.
    EXPECT_EQ(length, static_cast<int64_t>(as_read.size())) << name;
    for (const bool keep : {false, true}) {
      Stream* s = nullptr;
      ASSERT_EQ(c->OpenPart(path, &s, 0, &checked, keep), kOk) << name;
      std::unique_ptr<Stream> owner(s);
      std::vector<uint8_t> streamed(as_read.size() + 1);
      int64_t done = 0, total = 0;
      int code = kOk;
      while ((code = s->Read(streamed.data() + total, 7, &done)) == kOk && done > 0) total += done;
      EXPECT_EQ(code, kChecksumFailed) << name << " keep " << keep;
      EXPECT_EQ(total, static_cast<int64_t>(as_read.size())) << name << " keep " << keep;
    }
    std::string target = dir.File("extracted");
    EXPECT_EQ(c->ExtractPart(path, &target, 0, &checked), kChecksumFailed) << name;
    EXPECT_EQ(test::ReadFileBytes(target), as_read) << name;
    // zoq cat writes the content, warns naming the part and exits with 1.
    WriteFile(file, damaged);
    const std::string out = dir.File("out"), err = dir.File("err");
    EXPECT_EQ(RunZoqBounded({"cat", file, name}, 1024 * kMiB, 60, out, err).status, 1) << name;
    EXPECT_EQ(test::ReadFileBytes(out), as_read) << name;
    EXPECT_NE(ReadText(err).find("warning: " + name + ": the stored data does not match"),
              std::string::npos)
        << ReadText(err);
  }
  // Sound data passes the check.
  WriteFile(file, package);
  EXPECT_EQ(RunZoq({"cat", file, "/c.txt"}), 0);
  auto c = MakeContainer();
  ASSERT_EQ(Open(c.get(), package), kOk);
  int64_t length = 0;
  EXPECT_EQ(c->ReadPart(u"/b.txt", nullptr, &length, 0, &checked), kOk);
}

// --- Leftovers of killed processes. ---------------------------------------------

TEST(HostileKill, LeftoversOfAKilledSaveGoAtTheNextOpen) {
  test::ScratchDir dir;
  const std::string base = dir.File("tmp");
  fs::create_directories(base);
  const std::string file = dir.File("p.zoq");
  WriteFile(file, test::RevisedPackage(3));
  auto in = [&](bool no_temp_dir = false) {
    ContainerOptions options;
    options.resource_dir = test::DataDir();
    options.temp_base_dir = base;
    options.no_temp_dir = no_temp_dir;
    Container* c = nullptr;
    EXPECT_EQ(CreateContainer(&options, &c), kOk);
    return std::unique_ptr<Container>(c);
  };
  // A save killed (by the file-size limit's signal) while it writes its
  // temporary beside the package: both its temporaries stay behind.
  const ChildRun killed = RunInChild(
      [&] {
        auto c = in();
        if (c->OpenFile(file, false) != kOk) return 10;
        if (test::AddBytes(c.get(), "/big.bin", test::TextLike(4 * kMiB, 7)) != kOk) return 11;
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        // The size limit makes it fail; what it leaves is checked.
        c->Save(kSaveCompact, false).IgnoreError();
        return 12;
      },
      1024 * kMiB, 120);
  ASSERT_EQ(killed.status, 128 + SIGXFSZ);
  ASSERT_EQ(FolderNames(dir.path(), ".~zoq-").size(), 1u);
  ASSERT_EQ(FolderNames(base, "~ZOQPAC-").size(), 1u);
  // Opening the package removes the save temporary beside it, tidying the
  // base removes the folder; the package is as it was.
  auto c = in(true);
  ASSERT_EQ(c->OpenFile(file, true), kOk);
  EXPECT_EQ(c->GetPathKind(u"/big.bin"), kPathNotFound);
  EXPECT_TRUE(FolderNames(dir.path(), ".~zoq-").empty());
  // The tool tidies the base at start, even for a command that only reads.
  const ChildRun listed = RunInChild(
      [&] {
        setenv("TMPDIR", base.c_str(), 1);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) dup2(null, 1);
        execl(ZOQ_EXE, ZOQ_EXE, "ls", file.c_str(), static_cast<char*>(nullptr));
        return 127;
      },
      1024 * kMiB, 60);
  EXPECT_EQ(listed.status, 0);
  EXPECT_TRUE(FolderNames(base, "~ZOQPAC-").empty());
  // A container in use keeps its folder while others tidy up.
  auto live = in();
  ASSERT_EQ(FolderNames(base, "~ZOQPAC-").size(), 1u);
  auto other = in();
  RemoveStaleTemporaries(base);
  EXPECT_EQ(FolderNames(base, "~ZOQPAC-").size(), 2u);
  live.reset();
  other.reset();
  EXPECT_TRUE(FolderNames(base, "~ZOQPAC-").empty());
}

// --- Counts and offsets near 2^31 and 2^63. ---------------------------------

TEST(HostileNumbers, HeaderAndEntryFieldsNearTheLimitsFailFast) {
  const uint64_t k2_31 = uint64_t{1} << 31;
  const uint64_t k2_63 = uint64_t{1} << 63;
  const std::optional<uint64_t> real;  // the field as the package gives it
  struct Case {
    const char* what;
    int width;
    std::optional<uint64_t> count;  // the header's entry count
    std::optional<uint64_t> first;  // the header's first-entry offset
    std::function<void(RawEntry*)> edit;
    int expected;
  };
  auto none = [](RawEntry*) {};
  const std::vector<Case> cases = {
      {"entry count 2^31-1", 4, k2_31 - 1, real, none, kBadNextEntry},
      {"entry count 2^31 (negative)", 4, k2_31, real, none, kBadHeaderField},
      {"first entry 2^63-1", 8, real, k2_63 - 1, none, kEntryReadFailed},
      {"first entry 2^63 (negative)", 8, real, k2_63, none, kBadHeaderField},
      {"first entry 2^31", 4, real, k2_31, none, kEntryReadFailed},
      {"entry length 2^32-1", 4, real, real, [](RawEntry* e) { e->length = 0xFFFFFFFF; },
       kEntryReadFailed},
      {"name table length 2^32-1", 4, real, real,
       [](RawEntry* e) { e->name_length = 0xFFFFFFFF; }, kEntryReadFailed},
      {"name count 2^31-1", 4, real, real,
       [&](RawEntry* e) { e->names = NameTable({{1, "/a.txt"}}, k2_31 - 1); },
       kNameTableReadFailed},
      {"compressed name count 2^31-1", 4, real, real,
       [&](RawEntry* e) {
         e->flags = 1;
         e->names = NameTable({{1, "/a.txt"}}, k2_31 - 1);
       },
       kNameTableReadFailed},
      {"next entry 2^63-1 with a second entry asked", 8, 2, real,
       [&](RawEntry* e) { e->next_offset = k2_63 - 1; }, kEntryReadFailed},
      {"next entry 2^63 (negative)", 8, 2, real, [&](RawEntry* e) { e->next_offset = k2_63; },
       kEntryReadFailed},
  };
  for (const Case& tc : cases) {
    RawEntry entry = OnePart(tc.width);
    tc.edit(&entry);
    RawPackage pkg = BuildRaw({entry}, tc.width, tc.count, tc.first);
    Cost cost;
    EXPECT_EQ(OpenMeasured(pkg.bytes, &cost), tc.expected) << tc.what;
    EXPECT_LT(Measured(cost.growth), 8 * kMiB) << tc.what;
    EXPECT_LT(cost.seconds, 5.0) << tc.what;
  }
}

TEST(HostileNumbers, DataRecordFieldsNearTheLimitsFailWhenRead) {
  const uint64_t k2_63 = uint64_t{1} << 63;
  struct Case {
    const char* what;
    int width;
    uint64_t bitstream;    // 0: the real one
    uint64_t data_offset;  // 0: 4
    std::optional<uint64_t> stored_length;  // none: the real one
  };
  const std::vector<Case> cases = {
      {"stored length 2^31", 4, 0, 0, uint64_t{1} << 31},
      {"stored length 2^32-1", 4, 0, 0, 0xFFFFFFFFull},
      {"stored length 2^63-1", 8, 0, 0, k2_63 - 1},
      {"stored length 2^63 (negative)", 8, 0, 0, k2_63},
      {"stored length 2^62", 8, 0, 0, uint64_t{1} << 62},
      {"bitstream 2^63-1", 8, k2_63 - 1, 0, std::nullopt},
      {"bitstream 2^63 (negative)", 8, k2_63, 0, std::nullopt},
      {"bitstream 2^31", 4, uint64_t{1} << 31, 0, std::nullopt},
      {"data offset 2^63-1", 8, 0, k2_63 - 1, std::nullopt},
      {"data offset 2^63-8", 8, 0, k2_63 - 8, std::nullopt},
      {"data offset 2^63 (negative)", 8, 0, k2_63, std::nullopt},
      {"data offset 2^32-1", 4, 0, 0xFFFFFFFFull, std::nullopt},
      {"bitstream and data offset 2^62 each", 8, uint64_t{1} << 62, uint64_t{1} << 62,
       std::nullopt},
  };
  for (const Case& tc : cases) {
    RawEntry e = OnePart(tc.width, {'h', 'e', 'l', 'l', 'o'}, tc.stored_length,
                         tc.data_offset == 0 ? 4 : tc.data_offset);
    if (tc.bitstream != 0) e.bitstream_offset = tc.bitstream;
    RawPackage pkg = BuildRaw({e}, tc.width);
    auto c = MakeContainer();
    const int64_t growth = PeakGrowth([&] {
      // Negative offsets are refused when the tables are read.
      if (Open(c.get(), pkg.bytes) != kOk) return;
      int64_t length = 0;
      EXPECT_NE(c->ReadPart(u"/a.txt", nullptr, &length, 0, nullptr), kOk) << tc.what;
      std::vector<uint8_t> content;
      EXPECT_NE(test::ReadContent(c.get(), u"/a.txt", 0, nullptr, true, &content), kOk)
          << tc.what;
      std::string target;
      EXPECT_NE(c->ExtractPart(u"/a.txt", &target, 0, nullptr), kOk) << tc.what;
      EXPECT_NE(c->VerifyChecks(true), kOk) << tc.what;
      PartInfo info;
      const int info_code = c->GetPartInfoByPath(&info, u"/a.txt", 0);
      if (info_code == kOk) {
        EXPECT_GE(info.position, 0) << tc.what;
      }
      int64_t position = 0, size = 0;
      if (c->GetPartLocation(u"/a.txt", &position, &size) == kOk) {
        EXPECT_GE(position, 0) << tc.what;
        EXPECT_GE(size, 0) << tc.what;
      }
    });
    EXPECT_LT(Measured(growth), 8 * kMiB) << tc.what;
  }
}

// --- Loops and codes. ---------------------------------------------------------

TEST(HostileChain, EntryChainPointingBackFailsFast) {
  const RawEntry e = OnePart();
  // One entry whose next-entry offset is itself, with a count of 2^31-1.
  RawPackage self = BuildRaw({e}, 4, 0x7FFFFFFF);
  PutLittle(&self.bytes, static_cast<size_t>(self.entry_offsets[0]) + 8 + 4,
            static_cast<uint64_t>(self.entry_offsets[0]), 4);
  // Two entries that point at each other.
  RawPackage pair = BuildRaw({e, e}, 4, 1000);
  PutLittle(&pair.bytes, static_cast<size_t>(pair.entry_offsets[1]) + 8 + 4,
            static_cast<uint64_t>(pair.entry_offsets[0]), 4);
  for (RawPackage* pkg : {&self, &pair}) {
    auto c = MakeContainer();
    const Cost cost = Measure([&] { EXPECT_EQ(Open(c.get(), pkg->bytes), kBadNextEntry); });
    EXPECT_LT(cost.seconds, 5.0);
    // With a revision limit below the loop, the package opens.
    EXPECT_EQ(c->OpenMemory(pkg->bytes.data(), static_cast<int64_t>(pkg->bytes.size()), 1), kOk);
  }
}

TEST(HostileCodes, EightCodesMakeThePartUnreadable) {
  const std::vector<uint8_t> data = {'a', 'b', 'c'};
  RawPackage pkg = OneEntry({{"/eight.bin", DataRecord(data, {2, 2, 2, 2, 2, 2, 2, 2}, 4)},
                             {"/zero.bin", DataRecord(data, {0}, 4)},
                             {"/fine.txt", DataRecord(data, {}, 4)}});
  auto c = MakeContainer();
  ASSERT_EQ(Open(c.get(), pkg.bytes), kOk);
  for (int code : {static_cast<int>(kEcsEnd), 0}) {
    DecodeOptions options{code, nullptr};
    int64_t length = 0;
    EXPECT_EQ(c->ReadPart(u"/eight.bin", nullptr, &length, 0, &options), kSiteTooManyCodes);
    EXPECT_EQ(c->ReadPart(u"/zero.bin", nullptr, &length, 0, &options), kSiteZeroCode);
    std::vector<uint8_t> content;
    EXPECT_NE(test::ReadContent(c.get(), u"/eight.bin", 0, &options, true, &content), kOk);
  }
  PartInfo info;
  EXPECT_NE(c->GetPartInfoByPath(&info, u"/eight.bin", 0), kOk);
  EXPECT_NE(c->VerifyChecks(false), kOk);
  std::vector<uint8_t> content;
  EXPECT_EQ(test::ReadContent(c.get(), u"/fine.txt", 0, nullptr, false, &content), kOk);
  EXPECT_EQ(content, data);
}

// --- SXC documents. -----------------------------------------------------------

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Rewrites the structure section of an SXC document that has structure
// and values with `edit` applied to its inflated bytes.
std::vector<uint8_t> EditStructure(const std::vector<uint8_t>& sxc,
                                   const std::function<void(std::vector<uint8_t>*)>& edit) {
  const uint8_t flags = sxc[26];
  EXPECT_EQ(flags & 3, 3);
  const size_t fields = 27 + (flags & 8 ? 8 : 0) + (flags & 4 ? 8 : 0);
  const uint32_t s_off = Le32(sxc, fields), s_size = Le32(sxc, fields + 4);
  std::vector<uint8_t> plain(1 << 20);
  uLongf plain_size = plain.size();
  EXPECT_EQ(uncompress(plain.data(), &plain_size, sxc.data() + s_off, s_size), Z_OK);
  plain.resize(plain_size);
  edit(&plain);
  std::vector<uint8_t> packed = test::Compress(plain);
  std::vector<uint8_t> out(sxc.begin(), sxc.begin() + s_off);
  out.insert(out.end(), packed.begin(), packed.end());
  out.insert(out.end(), sxc.begin() + s_off + s_size, sxc.end());
  const int64_t shift = static_cast<int64_t>(packed.size()) - s_size;
  PutLittle(&out, fields + 4, packed.size(), 4);
  PutLittle(&out, fields + 8, Le32(sxc, fields + 8) + shift, 4);
  PutLittle(&out, fields + 16, Le32(sxc, fields + 16) + shift, 4);
  return out;
}

// Decodes through the SXC stream; the code, and the XML on success.
int Decode(const std::vector<uint8_t>& sxc, const std::string& schema, std::vector<uint8_t>* xml) {
  return DecodeThrough(sxc, std::make_shared<FaultPlan>(), schema, xml);
}

TEST(HostileSxc, OccurrenceCountsBeyondTheValuesFailFast) {
  const std::vector<uint8_t> original = test::ReadFileBytes(SxcData("hb_bytecoder.sxc"));
  const std::string schema = SxcData("hb_bytecoder.bsg");
  std::vector<uint8_t> xml;
  ASSERT_EQ(Decode(original, schema, &xml), kOk);
  // After the presence byte, the first count (127 "a" elements, one byte)
  // asks for 2^28-1 instead.
  std::vector<uint8_t> hostile = EditStructure(original, [](std::vector<uint8_t>* s) {
    ASSERT_EQ((*s)[1], 0x7F);
    (*s)[1] = 0xEF;
    s->insert(s->begin() + 2, {0xFF, 0xFF, 0xFF});
  });
  const Cost cost = Measure([&] { EXPECT_NE(Decode(hostile, schema, &xml), kOk); });
  EXPECT_LT(cost.seconds, 10.0);
  EXPECT_LT(Measured(cost.growth), 16 * kMiB);
}

TEST(HostileSxc, EmptyOccurrencesCostBoundedWork) {
  // A choice repeated 2^28-1 times whose repetitions past the end of the
  // structure name no alternative: nothing is decoded for them.
  const std::vector<uint8_t> original = test::ReadFileBytes(SxcData("hb_flags23.sxc"));
  const std::string schema = SxcData("hb_flags23.bsg");
  std::vector<uint8_t> expected, xml;
  ASSERT_EQ(Decode(original, schema, &expected), kOk);
  std::vector<uint8_t> hostile = EditStructure(original, [](std::vector<uint8_t>* s) {
    ASSERT_EQ(s->size(), 7u);
    ASSERT_EQ((*s)[4], 0x02);  // the count of the mixed element's choice
    (*s)[4] = 0xEF;
    s->insert(s->begin() + 5, {0xFF, 0xFF, 0xFF});
  });
  int code = -1;
  const Cost cost = Measure([&] { code = Decode(hostile, schema, &xml); });
  RecordProperty("code", code);
  RecordProperty("milliseconds", static_cast<int>(cost.seconds * 1000));
  // The repetitions that decode nothing are skipped: the same document,
  // at once.
  EXPECT_EQ(code, kOk);
  EXPECT_EQ(xml, expected);
  EXPECT_LT(cost.seconds, 5.0);
}

// Little-endian int32 fields, appended.
std::vector<uint8_t> Ints(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> out;
  for (uint32_t v : values) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  return out;
}

TEST(HostileSxc, BombsDecodeOrFailWithinTheirBudget) {
  // Documents of the "multi" schema: the root zeta (index 3) holds `wrap`
  // elements, each one structure byte (its absent child) and 13 bytes of
  // text; the root Alpha (index 0) holds one text value (node 4).
  const std::string schema = SxcData("multi_alpha.bsg");
  const std::vector<uint8_t> model = test::ReadFileBytes(SxcData("multi_alpha.sxc"));
  const std::vector<uint8_t> id(model.begin() + 9, model.begin() + 25);
  auto wraps = [](uint32_t n) {
    return std::vector<uint8_t>{0x03, 0x80, static_cast<uint8_t>(0xE0 | n >> 24),
                                static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                                static_cast<uint8_t>(n)};
  };
  const std::vector<uint8_t> alpha_root = test::Compress({0x00});
  // A text value inflating to a gigabyte, in a 1 MiB block.
  const std::vector<uint8_t> value_block = ZerosStream({}, uint64_t{1} << 30);
  const std::vector<uint8_t> value_bomb = SxcDocument(
      id, {alpha_root, value_block, test::Compress(Ints({1, 0, 4, uint32_t(value_block.size())}))});
  // A structure of 2^28-1 elements of which a gigabyte is stored.
  const std::vector<uint8_t> structure_bomb =
      SxcDocument(id, {ZerosStream(wraps((1 << 28) - 1), uint64_t{1} << 30), {}, {}});
  // A directory of 18.75 million value items (150 MB) in about 146 KB.
  const uint32_t items = 18750000;
  const std::vector<uint8_t> empty_block = test::Compress({});
  const std::vector<uint8_t> directory_bomb = SxcDocument(
      id, {alpha_root, empty_block,
           ZerosStream(Ints({0, 1, items, uint32_t(empty_block.size())}), uint64_t{8} * items)});
  // 12 million elements: 12 MB inflated (within what 12 KB may inflate to)
  // decoding to 156 MB of text, more than four times that.
  const std::vector<uint8_t> text_bomb =
      SxcDocument(id, {ZerosStream(wraps(12000000), 12000000), {}, {}});

  test::ScratchDir dir;
  const std::string package = dir.File("bombs.zoq");
  WriteFile(package, OneEntry({{"/value.xml", DataRecord(test::Compress(value_bomb), {1, 2}, 4)},
                               {"/structure.xml",
                                DataRecord(test::Compress(structure_bomb), {1, 2}, 4)}})
                         .bytes);
  RecordProperty("package_bytes", static_cast<int>(fs::file_size(package)));
  struct Case {
    std::string what;
    std::vector<std::string> args;
    int status;
  };
  std::vector<Case> cases = {
      {"package value bomb", {"cat", "--schema", schema, package, "/value.xml"}, 1},
      {"package structure bomb", {"cat", "--schema", schema, package, "/structure.xml"}, 1},
      // Every reader of the tool says that a limit stopped it.
      {"package extracted", {"extract", "--schema", schema, "-d", dir.File("out"), package}, 1},
      {"package verified", {"verify", "--decode", "--schema", schema, package}, 1},
      {"package searched", {"grep", "--schema", schema, "x", package}, 2},
  };
  for (const auto& [name, bytes] : {std::pair{"value", &value_bomb},
                                    std::pair{"directory", &directory_bomb},
                                    std::pair{"text", &text_bomb}}) {
    const std::string file = dir.File(std::string(name) + ".sxc");
    WriteFile(file, *bytes);
    cases.push_back({std::string(name) + " bomb", {"sxc", "decode", "--schema", schema, file}, 1});
  }
  // A user who knows the document is genuine raises the limit.
  cases.push_back({"text bomb allowed",
                   {"sxc", "decode", "--schema", schema, "--max-output", "200M",
                    dir.File("text.sxc")},
                   0});
  const std::string err = dir.File("err");
  for (const Case& c : cases) {
    const ChildRun run = RunZoqBounded(c.args, 768 * kMiB, 120, {}, err);
    RecordProperty(c.what + " peak MiB", static_cast<int>(run.peak / kMiB));
    RecordProperty(c.what + " ms", static_cast<int>(run.seconds * 1000));
    EXPECT_FALSE(run.stopped) << c.what << ": past 768 MiB or 120 s";
    EXPECT_EQ(run.status, c.status) << c.what << ": " << ReadText(err);
    if (c.status != 0) {
      EXPECT_NE(ReadText(err).find("error 6008"), std::string::npos) << c.what << ReadText(err);
      EXPECT_NE(ReadText(err).find("decoding limit"), std::string::npos) << c.what << ReadText(err);
    }
    // Memory follows the budget (32 MiB inflated), sanitizer bookkeeping
    // included; about 40 MiB of it is the tool's own at start.
    EXPECT_LT(run.peak, 160 * kMiB) << c.what;
    EXPECT_LT(run.seconds, 60.0) << c.what;
  }
}

TEST(HostileSxc, EntityExpansionIsRefusedByTheEncoder) {
  const std::string schema = SxcData("doc_basic.bsg");
  const auto no_faults = std::make_shared<FaultPlan>();
  std::vector<uint8_t> written;
  // The encoder takes a plain document of the schema.
  ASSERT_EQ(EncodeThrough(test::ReadFileBytes(SxcData("doc_basic.xml")), no_faults, schema,
                          &written),
            kOk);
  // Ten levels of ten references: 10^10 copies of "lol" if expanded.
  std::string xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE document [\n<!ENTITY l0 \"lol\">\n";
  for (int i = 1; i <= 10; ++i) {
    xml += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) xml += "&l" + std::to_string(i - 1) + ";";
    xml += "\">\n";
  }
  xml += "]>\n<document><section><heading>&l10;</heading></section></document>\n";
  // An external entity must not be read either.
  const std::string external =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE document [\n<!ENTITY x SYSTEM \"file:///etc/passwd\">\n]>\n"
      "<document><section><heading>&x;</heading></section></document>\n";
  for (const std::string& doc : {xml, external}) {
    int code = kOk;
    const Cost cost = Measure([&] {
      code = EncodeThrough({doc.begin(), doc.end()}, no_faults, schema, &written);
    });
    const std::string text(written.begin(), written.end());
    if (doc == xml) {
      EXPECT_NE(code, kOk) << "entity expansion accepted";
    } else {
      EXPECT_EQ(text.find("root:"), std::string::npos) << "an external entity was read";
    }
    EXPECT_LT(cost.seconds, 10.0);
    // Expat stops an expansion once it passes a hundredfold of the input
    // beyond its first 8 MiB; the encoder keeps what it was given until then.
    RecordProperty(doc == xml ? "laughs_code" : "external_code", code);
    RecordProperty(doc == xml ? "laughs_peak_growth_mib" : "external_peak_growth_mib",
                   static_cast<int>(cost.growth / kMiB));
    EXPECT_LT(Measured(cost.growth), 256 * kMiB);
  }
}

}  // namespace
}  // namespace zoq::hardening
