// Threads sharing packages: readers of one Container while another thread
// edits and saves it, streams handed out before a save and read after it,
// and several containers decoding SXC parts at once. Run under
// ThreadSanitizer by `make tsan` (label "concurrency"); under ASan in the
// ordinary test run.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hardening_util.h"
#include "zoq/container.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq {
namespace {

using hardening::SxcData;
using test::AddBytes;
using test::Bytes;
using test::MakeContainer;

std::vector<uint8_t> Version(int n) {
  std::vector<uint8_t> v = test::TextLike(4000 + 97 * n, 100 + n);
  std::string tag = "version " + std::to_string(n);
  v.insert(v.begin(), tag.begin(), tag.end());
  return v;
}

// A package file with a part that never changes, one that every save
// replaces, and one that grows by appends.
struct SharedPackage {
  test::ScratchDir dir;
  std::string file = dir.File("shared.zoq");
  std::vector<uint8_t> stable = test::TextLike(20000, 7);

  SharedPackage() {
    auto c = MakeContainer();
    EXPECT_EQ(c->CreatePackage(file, 0, 0, 8, 0), kOk);
    EXPECT_EQ(AddBytes(c.get(), "/stable.txt", stable, {2}), kOk);
    EXPECT_EQ(AddBytes(c.get(), "/changing.txt", Version(0)), kOk);
    EXPECT_EQ(AddBytes(c.get(), "/log.txt", Bytes("0;")), kOk);
    EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  }
};

std::vector<uint8_t> LogUpTo(int n) {
  std::string text;
  for (int i = 0; i <= n; ++i) text += std::to_string(i) + ";";
  return Bytes(text);
}

TEST(Concurrency, ReadersSeeWholeRevisionsWhileOneThreadSaves) {
  SharedPackage pkg;
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(pkg.file, false), kOk);
  constexpr int kSaves = 12;
  std::set<std::vector<uint8_t>> versions, logs;
  for (int n = 0; n <= kSaves; ++n) {
    versions.insert(Version(n));
    logs.insert(LogUpTo(n));
  }
  std::atomic<bool> done{false};
  std::atomic<int> bad{0}, reads{0};
  auto reader = [&](int t) {
    while (!done.load()) {
      std::vector<uint8_t> content;
      const bool keep = (reads.load() + t) % 2 == 0;
      if (test::ReadContent(c.get(), u"/stable.txt", 0, nullptr, keep, &content) != kOk ||
          content != pkg.stable) {
        ++bad;
      }
      if (test::ReadContent(c.get(), u"/changing.txt", 0, nullptr, keep, &content) != kOk ||
          versions.count(content) == 0) {
        ++bad;
      }
      int64_t length = 0;
      if (c->ReadPart(u"/log.txt", nullptr, &length, 0, nullptr) == kOk) {
        std::vector<uint8_t> buffer(static_cast<size_t>(length));
        // The part may grow between the two calls; a read gives a prefix
        // of some revision's content.
        if (c->ReadPart(u"/log.txt", buffer.data(), &length, 0, nullptr) != kOk) ++bad;
      } else {
        ++bad;
      }
      PartInfo info;
      std::vector<std::u16string> parts;
      if (c->GetPartInfoByPath(&info, u"/changing.txt", 0) != kOk ||
          c->ListParts(u"/", &parts) != kOk || parts.size() != 3) {
        ++bad;
      }
      if (t == 0) {
        EXPECT_EQ(c->ReleasePartCopies(u"*"), kOk);
      }
      ++reads;
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) threads.emplace_back(reader, t);
  int save_failures = 0;
  for (int n = 1; n <= kSaves; ++n) {
    if (AddBytes(c.get(), "/changing.txt", Version(n)) != kOk) ++save_failures;
    const std::string add = std::to_string(n) + ";";
    if (c->AppendToPartFromMemory(u"/log.txt", add.data(), static_cast<int64_t>(add.size()),
                                  nullptr, 0) != kOk) {
      ++save_failures;
    }
    const int mode = n % 4 == 0 ? kSaveCompact : kSaveIncremental;
    if (c->Save(mode, n % 4 == 2) != kOk) ++save_failures;
  }
  done = true;
  for (auto& t : threads) t.join();
  EXPECT_EQ(save_failures, 0);
  EXPECT_EQ(bad.load(), 0);
  EXPECT_GT(reads.load(), 0);
  int code = 0;
  auto parts = test::SnapshotFile(pkg.file, &code);
  ASSERT_EQ(code, kOk);
  EXPECT_EQ(parts["/changing.txt"], Version(kSaves));
  EXPECT_EQ(parts["/log.txt"], LogUpTo(kSaves));
  EXPECT_EQ(parts["/stable.txt"], pkg.stable);
}

TEST(Concurrency, StreamsHandedOutBeforeASaveKeepTheirContent) {
  SharedPackage pkg;
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(pkg.file, false), kOk);
  for (int round = 1; round <= 4; ++round) {
    // Streams taken now, read by other threads while the package is saved
    // (compacted every other round, which replaces the file).
    std::vector<Stream*> streams;
    for (int i = 0; i < 4; ++i) {
      Stream* s = nullptr;
      ASSERT_EQ(c->OpenPart(i % 2 ? u"/changing.txt" : u"/stable.txt", &s, 0, nullptr, i >= 2),
                kOk);
      streams.push_back(s);
    }
    const std::vector<uint8_t> before = Version(round - 1);
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&, i] {
        std::vector<uint8_t> content;
        const int code = test::ReadAll(streams[i], &content);
        // A stream may fail once its storage is gone, but never gives
        // other content.
        if (code == kOk && content != (i % 2 ? before : pkg.stable)) ++bad;
        delete streams[i];
      });
    }
    ASSERT_EQ(AddBytes(c.get(), "/changing.txt", Version(round)), kOk);
    ASSERT_EQ(c->Save(round % 2 ? kSaveCompact : kSaveIncremental, false), kOk);
    for (auto& t : threads) t.join();
    EXPECT_EQ(bad.load(), 0) << "round " << round;
  }
}

// --- SXC decoding in several containers at once. -----------------------------

// A package whose SXC part carries its schema inside the package.
std::string SxcPackage(const test::ScratchDir& dir, const std::string& doc) {
  const std::string file = dir.File(doc + ".zoq");
  auto c = MakeContainer();
  EXPECT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  EXPECT_EQ(c->SetSchemaFile(SxcData(doc + ".bsg")), kOk);
  EXPECT_EQ(AddBytes(c.get(), "/__ECSEnv/01/Schema.bsg", test::ReadFileBytes(SxcData(doc + ".bsg"))),
            kOk);
  EXPECT_EQ(AddBytes(c.get(), "/content.xml", test::ReadFileBytes(SxcData(doc + ".xml")), {1, 2}),
            kOk);
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  return file;
}

// A container on `file` that decoded its SXC part into `xml` once; null
// when opening or decoding failed.
std::unique_ptr<Container> OpenAndDecode(const std::string& file, std::vector<uint8_t>* xml) {
  auto c = MakeContainer();
  if (c->OpenFile(file, true) != kOk ||
      test::ReadContent(c.get(), u"/content.xml", 0, nullptr, false, xml) != kOk) {
    return nullptr;
  }
  return c;
}

// Whether the SXC part decodes to `expected` (through OpenPart, keeping the
// decoded copy or not).
bool DecodesAs(Container* c, bool keep, const std::vector<uint8_t>& expected) {
  std::vector<uint8_t> xml;
  return test::ReadContent(c, u"/content.xml", 0, nullptr, keep, &xml) == kOk && xml == expected;
}

// Runs `body(t, &bad)` on `threads` threads at once; what they counted bad.
int CountBadInThreads(int threads, const std::function<void(int, std::atomic<int>*)>& body) {
  std::atomic<int> bad{0};
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t) running.emplace_back(body, t, &bad);
  for (auto& t : running) t.join();
  return bad.load();
}

TEST(Concurrency, ContainersDecodeSxcAtOnce) {
  test::ScratchDir dir;
  const std::vector<std::string> docs = {"doc_basic", "rec_types", "doc_mixed"};
  std::vector<std::string> files;
  std::vector<std::vector<uint8_t>> expected;
  for (const std::string& doc : docs) {
    files.push_back(SxcPackage(dir, doc));
    std::vector<uint8_t> xml;
    ASSERT_NE(OpenAndDecode(files.back(), &xml), nullptr) << doc;
    ASSERT_FALSE(xml.empty());
    expected.push_back(xml);
  }
  // Two containers per package, each read by its own thread; the schemas
  // are shared between containers of the same package.
  const int bad = CountBadInThreads(6, [&](int t, std::atomic<int>* bad) {
    const size_t which = static_cast<size_t>(t) % docs.size();
    auto c = MakeContainer();
    if (c->OpenFile(files[which], true) != kOk) {
      ++*bad;
      return;
    }
    for (int round = 0; round < 4; ++round) {
      if (!DecodesAs(c.get(), round % 2 == 1, expected[which])) ++*bad;
    }
  });
  EXPECT_EQ(bad, 0);
}

TEST(Concurrency, OneContainerDecodesSxcForSeveralThreads) {
  test::ScratchDir dir;
  std::vector<uint8_t> expected;
  auto c = OpenAndDecode(SxcPackage(dir, "doc_basic"), &expected);
  ASSERT_NE(c, nullptr);
  const int bad = CountBadInThreads(4, [&](int t, std::atomic<int>* bad) {
    for (int round = 0; round < 3; ++round) {
      if (!DecodesAs(c.get(), (t + round) % 2 == 0, expected)) ++*bad;
      std::string extracted;
      if (c->ExtractPart(u"/content.xml", &extracted, 0, nullptr) != kOk ||
          test::ReadFileBytes(extracted) != expected) {
        ++*bad;
      }
    }
  });
  EXPECT_EQ(bad, 0);
}

TEST(Concurrency, ReleasingCopiesKeepsTheEmbeddedSchema) {
  test::ScratchDir dir;
  std::vector<uint8_t> first, again;
  auto c = OpenAndDecode(SxcPackage(dir, "doc_basic"), &first);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->ReleasePartCopies(u"*"), kOk);
  const int code = test::ReadContent(c.get(), u"/content.xml", 0, nullptr, false, &again);
  ASSERT_EQ(code, kOk) << "the schema taken from the package went with the released copies";
  EXPECT_EQ(again, first);
}

}  // namespace
}  // namespace zoq
