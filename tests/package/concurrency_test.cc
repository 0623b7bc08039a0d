// Several threads on one package: readers of one Container together, readers
// while another thread changes and saves it, and one Container per thread on
// the same file. Built as its own program with the CTest label
// "concurrency", so that the ThreadSanitizer build runs it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "zoq/codes.h"
#include "zoq/container.h"
#include "package_builder.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq::test {
namespace {

std::u16string PartPath(int p) { return u"/d" + U16(std::to_string(p % 3)) + u"/p" +
                                        U16(std::to_string(p)); }

// A package file of `parts` parts, half of them ZIP-coded and every third
// one appended to in a second revision; returns every part's content.
std::vector<std::vector<uint8_t>> WritePackage(const std::string& file, int parts) {
  auto c = MakeContainer();
  EXPECT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  std::vector<std::vector<uint8_t>> contents;
  for (int p = 0; p < parts; ++p) {
    contents.push_back(TextLike(3000 + 997 * p, p));
    std::vector<int> codes;
    if (p % 2) codes.push_back(kEcsZip);
    EXPECT_EQ(AddBytes(c.get(), U8(PartPath(p)), contents.back(), codes), kOk);
  }
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  for (int p = 0; p < parts; p += 3) {
    std::vector<uint8_t> more = TextLike(700, 1000 + p);
    EXPECT_EQ(c->AppendToPartFromMemory(PartPath(p), more.data(), more.size(), nullptr, 0), kOk);
    contents[p].insert(contents[p].end(), more.begin(), more.end());
  }
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  return contents;
}

// Reads a part through OpenPart in small steps, yielding between them, so
// that other threads (a saving one among them) run while the stream is
// held.
int ReadSlowly(Container* c, const std::u16string& path, bool keep, std::vector<uint8_t>* out) {
  out->clear();
  Stream* raw = nullptr;
  int code = c->OpenPart(path, &raw, 0, nullptr, keep);
  if (code != kOk) return code;
  std::unique_ptr<Stream> stream(raw);
  uint8_t piece[1500];
  for (;;) {
    int64_t done = 0;
    code = stream->Read(piece, sizeof piece, &done);
    if (code != kOk) return code;
    if (done <= 0) return kOk;
    out->insert(out->end(), piece, piece + done);
    std::this_thread::yield();
  }
}

TEST(ConcurrencyTest, ThreadsShareOneContainer) {
  std::vector<TestEntry> entries(2);
  for (int p = 0; p < 20; ++p) {
    const std::string path = "/p" + std::to_string(p);
    entries[0].records.push_back({1, path, TextLike(5000 + p, 5000 + p), {}, false});
    if (p % 2) entries[1].records.push_back({2, path, TextLike(100, 100), {}, false});
  }
  BuiltPackage built = BuildPackage(entries);
  auto container = MakeContainer();
  ASSERT_EQ(container->OpenMemory(built.bytes.data(), built.bytes.size(), 0), kOk);
  std::vector<std::vector<uint8_t>> expected;
  for (int p = 0; p < 20; ++p) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadContent(container.get(), u"/p" + U16(std::to_string(p)), 0, nullptr, false,
                          &bytes),
              kOk);
    expected.push_back(bytes);
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 10; ++round) {
        for (int p = 0; p < 20; ++p) {
          std::u16string path = u"/p" + U16(std::to_string(p));
          std::vector<uint8_t> bytes;
          bool keep = (p + t + round) % 3 == 0;
          if (ReadContent(container.get(), path, 0, nullptr, keep, &bytes) != kOk ||
              bytes != expected[p]) {
            ++failures;
          }
          PartInfo info;
          std::vector<std::u16string> listed;
          if (container->GetNode(path) == nullptr ||
              container->GetPartInfoByPath(&info, path, 0) != kOk ||
              container->ListParts(u"/", &listed) != kOk || listed.size() != 20) {
            ++failures;
          }
          if (t == 0 && p == 0) {
            EXPECT_EQ(container->ReleasePartCopies(u"*"), kOk);
          }
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

// Readers of one Container on a file keep reading the parts that were there
// (streams they hold included) while another thread adds parts and saves
// several revisions; afterwards the file holds everything.
TEST(ConcurrencyTest, ReadersWhileAnotherThreadSaves) {
  ScratchDir dir;
  const std::string file = dir.File("shared.zoq");
  const int kParts = 12;
  const std::vector<std::vector<uint8_t>> expected = WritePackage(file, kParts);
  auto container = MakeContainer();
  ASSERT_EQ(container->OpenFile(file, false), kOk);

  std::atomic<bool> saving{true};
  std::atomic<int> failures{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&, t] {
      int round = 0;
      do {
        for (int p = t; p < kParts; p += 2) {
          std::vector<uint8_t> bytes;
          const bool keep = (p + round) % 4 == 0;
          int code = ReadSlowly(container.get(), PartPath(p), keep, &bytes);
          if (code != kOk || bytes != expected[p]) {
            ADD_FAILURE() << "part " << p << " code " << code << " size " << bytes.size();
            ++failures;
          }
          PartInfo info;
          if (container->GetPartInfoByPath(&info, PartPath(p), 0) != kOk) ++failures;
        }
        ++round;
      } while (saving.load() || round < 2);
    });
  }
  std::thread saver([&] {
    for (int s = 0; s < 6; ++s) {
      std::vector<uint8_t> added = TextLike(2000 + s, 500 + s);
      if (AddBytes(container.get(), "/new/n" + std::to_string(s), added,
                   s % 2 ? std::vector<int>{kEcsZip} : std::vector<int>{}) != kOk ||
          container->Save(kSaveIncremental, false) != kOk) {
        ++failures;
      }
      std::this_thread::yield();
    }
    saving = false;
  });
  saver.join();
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(container->GetRevisionCount(), 8);
  container.reset();

  auto after = FileParts(file);
  EXPECT_EQ(after.size(), static_cast<size_t>(kParts + 6));
  for (int p = 0; p < kParts; ++p) EXPECT_EQ(after[U8(PartPath(p))], expected[p]) << p;
}

// One Container per thread on the same file: each opens, lists and reads
// every part on its own, with no lock shared between them.
TEST(ConcurrencyTest, OneContainerPerThreadOnOneFile) {
  ScratchDir dir;
  const std::string file = dir.File("many.zoq");
  const int kParts = 10;
  const std::vector<std::vector<uint8_t>> expected = WritePackage(file, kParts);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      auto c = MakeContainer(t % 2 == 1);
      if (c->OpenFile(file, true) != kOk) {
        ++failures;
        return;
      }
      for (int p = 0; p < kParts; ++p) {
        std::vector<uint8_t> bytes;
        if (ReadSlowly(c.get(), PartPath((p + t) % kParts), false, &bytes) != kOk ||
            bytes != expected[(p + t) % kParts]) {
          ++failures;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace zoq::test
