// Adding parts from several threads: the add slots encode without the
// container's write lock, and EncodePartFrom* / AddEncodedPart split an add
// into encoding (any thread) and filing (in the caller's order). Part of
// the "concurrency" program.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "zoq/codes.h"
#include "zoq/container.h"
#include "save_test_util.h"
#include "test_util.h"

namespace zoq::test {
namespace {

using Parts = std::map<std::string, std::vector<uint8_t>>;

std::vector<std::u16string> ChildNames(Container* c) {
  std::vector<std::u16string> names;
  for (PathNode* child : c->GetNode(u"/")->Children()) names.push_back(child->GetName());
  return names;
}

// A saved package file with a few parts; returns their contents.
Parts SavedPackage(const std::string& file) {
  auto c = MakeContainer();
  EXPECT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  Parts parts;
  for (int p = 0; p < 8; ++p) {
    const std::string path = "/old/p" + std::to_string(p);
    parts[path] = TextLike(2000 + 300 * p, 900 + p);
    EXPECT_EQ(AddBytes(c.get(), path, parts[path], {kEcsZip}), kOk);
  }
  EXPECT_EQ(c->Save(kSaveIncremental, false), kOk);
  return parts;
}

TEST(ParallelAdd, AddersReadersAndSaverShareOneContainer) {
  ScratchDir dir;
  const std::string file = dir.File("p.zoq");
  Parts expected = SavedPackage(file);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, false), kOk);

  constexpr int kAdders = 4;
  constexpr int kPerAdder = 20;
  std::vector<Parts> added(kAdders);
  std::atomic<int> adders_left{kAdders};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kAdders; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerAdder; ++i) {
        const std::string path = "/t" + std::to_string(t) + "/p" + std::to_string(i);
        std::vector<uint8_t> content = TextLike(500 + 911 * i, 100 * t + i);
        // Plain and ZIP-coded parts, and some written again in place.
        std::vector<int> codes;
        if (i % 2 == 0) codes.push_back(kEcsZip);
        if (AddBytes(c.get(), path, content, codes) != kOk) ++failures;
        if (i % 5 == 0) {
          content = TextLike(300, 7000 + i);
          if (AddBytes(c.get(), path, content, {kEcsZip}) != kOk) ++failures;
        }
        added[t][path] = content;
      }
      --adders_left;
    });
  }
  // A reader of the saved parts and a saver run while the adders work.
  threads.emplace_back([&] {
    while (adders_left > 0) {
      for (const auto& [path, content] : expected) {
        std::vector<uint8_t> read;
        if (ReadContent(c.get(), U16(path), 0, nullptr, false, &read) != kOk || read != content) ++failures;
      }
    }
  });
  threads.emplace_back([&] {
    while (adders_left > 0) {
      if (c->Save(kSaveIncremental, false) != kOk) ++failures;
      std::this_thread::yield();
    }
  });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  for (const Parts& parts : added) expected.insert(parts.begin(), parts.end());
  EXPECT_EQ(Snapshot(c.get()), expected);
  EXPECT_EQ(FileParts(file), expected);
}

TEST(ParallelAdd, PartsEncodedOnThreadsAreFiledInTheCallersOrder) {
  ScratchDir dir;
  const std::string file = dir.File("p.zoq");
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage(file, 0, 0, 4, 0), kOk);
  constexpr int kParts = 24;
  std::vector<std::vector<uint8_t>> contents(kParts);
  std::vector<std::unique_ptr<EncodedPart>> encoded(kParts);
  std::vector<int> codes(kParts, -1);
  const EcsCodeArg zip{kEcsZip, nullptr};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      for (int p = t; p < kParts; p += 3) {
        contents[p] = TextLike(1000 + 577 * p, p);
        if (p % 2 == 0) {
          // From a file...
          const std::string source = dir.File("s" + std::to_string(p));
          WriteFileBytes(source, contents[p]);
          codes[p] = c->EncodePartFromFile(source, &zip, 1, &encoded[p]);
        } else {
          // ... and from a stream.
          std::unique_ptr<Stream> source = MemoryReader(contents[p].data(), contents[p].size());
          ASSERT_NE(source, nullptr);
          codes[p] = c->EncodePartFromStream(source.get(), &zip, 1, &encoded[p]);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  // Filed from the last to the first: the tree keeps that order.
  std::vector<std::u16string> order;
  for (int p = kParts - 1; p >= 0; --p) {
    ASSERT_EQ(codes[p], kOk) << p;
    const std::u16string name = u"n" + U16(std::to_string(p));
    ASSERT_EQ(c->AddEncodedPart(u"/" + name, encoded[p].get(), false, false), kOk) << p;
    order.push_back(name);
  }
  EXPECT_EQ(ChildNames(c.get()), order);
  // A part is filed once; one encoded by another container is refused.
  EXPECT_EQ(c->AddEncodedPart(u"/again", encoded[0].get(), false, false), kBadAddArguments);
  auto other = MakeContainer();
  ASSERT_EQ(other->CreatePackage("", 0, 0, 4, 0), kOk);
  std::unique_ptr<EncodedPart> foreign;
  ASSERT_EQ(other->EncodePartFromFile(dir.File("s0"), &zip, 1, &foreign), kOk);
  EXPECT_EQ(c->AddEncodedPart(u"/foreign", foreign.get(), false, false), kBadAddArguments);
  EXPECT_EQ(other->AddEncodedPart(u"/mine", foreign.get(), false, false), kOk);

  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  Parts expected;
  for (int p = 0; p < kParts; ++p) expected["/n" + std::to_string(p)] = contents[p];
  EXPECT_EQ(FileParts(file), expected);
}

TEST(ParallelAdd, FailedEncodingLeavesTheContainerUnchanged) {
  ScratchDir dir;
  const std::string file = dir.File("p.zoq");
  const Parts saved = SavedPackage(file);
  auto c = MakeContainer();
  ASSERT_EQ(c->OpenFile(file, false), kOk);
  const int revisions = c->GetRevisionCount();
  // A folder opens but cannot be read: the failure comes while encoding.
  const EcsCodeArg zip{kEcsZip, nullptr};
  EXPECT_NE(c->AddPartFromFile(u"/new", dir.path(), &zip, 1, false), kOk);
  EXPECT_NE(c->ReplacePartFromFile(u"/old/p1", dir.path(), nullptr, 0, false), kOk);
  const EcsCodeArg adm_without_key{kEcsAdm, nullptr};
  EXPECT_EQ(c->AddPartFromFile(u"/new", file, &adm_without_key, 1, false), kSiteNoKey);
  std::unique_ptr<EncodedPart> part;
  EXPECT_NE(c->EncodePartFromFile(dir.path(), &zip, 1, &part), kOk);
  EXPECT_EQ(part, nullptr);
  EXPECT_FALSE(c->IsModified());
  EXPECT_EQ(c->GetPathKind(u"/new"), kPathNotFound);
  EXPECT_EQ(Snapshot(c.get()), saved);
  ASSERT_EQ(c->Save(kSaveIncremental, false), kOk);
  EXPECT_EQ(c->GetRevisionCount(), revisions);
}

TEST(ParallelAdd, AdmContentEncodedBeforeTheDocumentTypeChangedIsEncodedAgain) {
  auto c = MakeContainer();
  ASSERT_EQ(c->CreatePackage("", 0, 0, 4, 0), kOk);
  const EcsCodeArg adm{kEcsAdm, &kTestKey};
  const std::vector<uint8_t> content = TextLike(4000, 5);
  std::unique_ptr<Stream> source = MemoryReader(content.data(), content.size());
  ASSERT_NE(source, nullptr);
  std::unique_ptr<EncodedPart> part;
  ASSERT_EQ(c->EncodePartFromStream(source.get(), &adm, 1, &part), kOk);
  // Version code 258 adds the IV header to ADM data: the part no longer fits.
  ASSERT_EQ(c->SetDocumentType(16, 258), kOk);
  EXPECT_EQ(c->AddEncodedPart(u"/secret", part.get(), false, false), kEncodeFailed);
  EXPECT_EQ(c->GetPathKind(u"/secret"), kPathNotFound);
  ASSERT_EQ(c->AddPartFromStream(u"/secret", source.get(), &adm, 1, false), kOk);
  DecodeOptions decode;
  decode.key = &kTestKey;
  EXPECT_EQ(Snapshot(c.get(), &decode), (Parts{{"/secret", content}}));
}

}  // namespace
}  // namespace zoq::test
