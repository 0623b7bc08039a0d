#include "stream/file_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "coded.h"
#include "temp_dir.h"

namespace zoq {
namespace {

using test::TempDir;

std::string ReadAll(Stream& s) {
  std::string out(static_cast<size_t>(s.GetLength()), '\0');
  int64_t done = 0;
  EXPECT_EQ(s.Read(out.data(), out.size(), &done), kOk);
  out.resize(static_cast<size_t>(done));
  return out;
}

class FileStreamTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("data.bin");
};

// Writes `content` to `path` in pieces of the given sizes (the last
// repeated), checking the length reported on the way.
void WriteInPieces(const std::string& path, const std::string& content,
                   std::vector<int64_t> pieces) {
  CVelFileStream out(path, false);
  ASSERT_EQ(out.Open(kModeWrite), kOk);
  EXPECT_EQ(out.GetAccess(), kAccessWrite);
  int64_t at = 0;
  for (size_t i = 0; at < static_cast<int64_t>(content.size()); ++i) {
    int64_t n = std::min<int64_t>(pieces[std::min(i, pieces.size() - 1)], content.size() - at);
    ASSERT_EQ(out.Write(content.data() + at, n), kOk);
    at += n;
  }
  EXPECT_EQ(out.GetLength(), static_cast<int64_t>(content.size()));
  ASSERT_EQ(out.Close(), kOk);
  EXPECT_EQ(test::ReadFile(path), content);
}

// Windowed transfers (small) and transfers of a window or more that skip
// the window (large) in any mix: every byte must land where the position
// says, and peeking after each read sees the next byte.
TEST_F(FileStreamTest, SmallAndLargeTransfersMix) {
  const int64_t w = CVelFileStream::kWindowSize;
  struct Case {
    int64_t size;
    std::vector<int64_t> writes, reads;
    int64_t read_end = INT64_MAX;  // LimitWindowReads
  };
  const Case cases[] = {
      {3 * w + 123, {777}, {}},  // odd pieces straddle window boundaries
      // small (buffered), large (after the buffer is flushed), small, large
      {5 * w + 321, {100, 2 * w + 5, 1, w, w + 7, 5 * w}, {3, w, 17, 3 * w, 1}},
      // window-sized writes after a short head: filled up to each window
      // boundary of the file, then written a whole window at a time
      {4 * w + 30, {30, w, w, 2 * w + 3, w}, {w + 30}},
      // window loads that stop at a limit, and reads across it
      {2 * w + 9, {w}, {10, 50, 1, w + 3}, 37},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::string content = test::Pattern(c.size, static_cast<uint32_t>(c.size));
    WriteInPieces(path_, content, c.writes);
    CVelFileStream in(path_, false);
    ASSERT_EQ(in.Open(kModeRead), kOk);
    in.LimitWindowReads(c.read_end);
    std::string back;
    for (int64_t n : c.reads) {
      std::string piece(n, '\0');
      int64_t done = 0;
      ASSERT_EQ(in.Read(piece.data(), n, &done), kOk);
      ASSERT_EQ(done, n);
      back += piece;
      int b = -2;
      ASSERT_EQ(in.PeekByte(&b), kOk);
      EXPECT_EQ(b, static_cast<uint8_t>(content[back.size()]));
    }
    back += ReadAll(in);  // a large read that meets the end
    EXPECT_EQ(back, content);
    EXPECT_TRUE(in.IsEof());
    // Seeking back reads the file again, not a stale window; byte-wise
    // access at a window boundary.
    for (int64_t at : {w + 1, w - 1}) {
      ASSERT_EQ(in.Seek(at, kSeekSet), kOk);
      int b = 0;
      ASSERT_EQ(in.ReadByte(&b), kOk);
      EXPECT_EQ(b, static_cast<uint8_t>(content[at]));
    }
    int b = 0;
    ASSERT_EQ(in.PeekByte(&b), kOk);
    EXPECT_EQ(b, static_cast<uint8_t>(content[w]));
    EXPECT_EQ(in.Tell(), w);
  }
}

TEST_F(FileStreamTest, LargeOverwriteReplacesWhatTheWindowHeld) {
  const int64_t w = CVelFileStream::kWindowSize;
  std::string content = test::Pattern(3 * w, 3);
  test::WriteFile(path_, content);
  std::string fresh = test::Pattern(2 * w, 4);
  CVelFileStream s(path_, false);
  ASSERT_EQ(s.Open(kModeReadWrite), kOk);
  int b = 0;
  ASSERT_EQ(s.Seek(10, kSeekSet), kOk);
  ASSERT_EQ(s.ReadByte(&b), kOk);  // the window now holds the first 64 KiB
  ASSERT_EQ(s.Write("xy", 2), kOk);  // a dirty window...
  ASSERT_EQ(s.Seek(w / 2, kSeekSet), kOk);
  ASSERT_EQ(s.Write(fresh.data(), fresh.size()), kOk);  // ...then a large write over it
  ASSERT_EQ(s.Seek(0, kSeekSet), kOk);
  std::string expected = content;
  expected.replace(11, 2, "xy");
  expected.replace(w / 2, fresh.size(), fresh);
  EXPECT_EQ(ReadAll(s), expected);
  ASSERT_EQ(s.Close(), kOk);
  EXPECT_EQ(test::ReadFile(path_), expected);

  // In append mode a large write lands after the hidden content.
  CVelFileStream a(path_, false);
  ASSERT_EQ(a.Open(kModeAppend), kOk);
  ASSERT_EQ(a.Write(fresh.data(), fresh.size()), kOk);
  EXPECT_EQ(a.GetLength(), static_cast<int64_t>(fresh.size()));
  ASSERT_EQ(a.Close(), kOk);
  EXPECT_EQ(test::ReadFile(path_), expected + fresh);
}

TEST_F(FileStreamTest, EndOfContentAndSeekLimits) {
  test::WriteFile(path_, "hello");
  CVelFileStream s(path_, false);
  ASSERT_EQ(s.Open(kModeRead), kOk);
  ASSERT_EQ(s.Seek(0, kSeekEnd), kOk);
  EXPECT_EQ(s.Tell(), 5);
  char buf[4];
  int64_t done = 7;
  EXPECT_EQ(s.Read(buf, 4, &done), kOk);
  EXPECT_EQ(done, 0);
  int b = 0;
  EXPECT_EQ(s.PeekByte(&b), kOk);
  EXPECT_EQ(b, -1);
  EXPECT_EQ(s.ReadByte(&b), kOk);
  EXPECT_EQ(b, -1);
  EXPECT_EQ(s.Seek(1, kSeekEnd), 12030506);
  EXPECT_EQ(s.Seek(-1, kSeekSet), 12030506);
  EXPECT_EQ(s.Seek(-2, kSeekCur), kOk);
  EXPECT_EQ(s.Tell(), 3);
  EXPECT_EQ(s.Seek(0, 3), kInvalidArgument);
  EXPECT_EQ(s.GetLength(), 5);  // seeking never extends
}

TEST_F(FileStreamTest, HeadOfOperationRules) {
  test::WriteFile(path_, "abc");
  CVelFileStream s(path_, false);
  char buf[2];
  int64_t done;
  int b;
  EXPECT_EQ(s.Read(buf, 1, &done), kStreamNotOpen);
  EXPECT_EQ(s.Write(buf, 1), kStreamNotOpen);
  EXPECT_EQ(s.Tell(), -1);
  EXPECT_EQ(s.GetLength(), -1);
  EXPECT_TRUE(s.IsEof());
  EXPECT_EQ(s.GetAccess(), kAccessRead);

  ASSERT_EQ(s.Open(kModeRead), kOk);
  EXPECT_EQ(s.Write(buf, 1), kStreamReadOnly);
  EXPECT_EQ(s.SetLength(1), kStreamReadOnly);
  EXPECT_EQ(s.Clear(), kStreamReadOnly);
  EXPECT_EQ(s.Read(nullptr, 1, &done), 12030349);
  EXPECT_EQ(s.Read(buf, -1, &done), 12030349);

  ASSERT_EQ(s.Open(kModeAppend), kOk);
  EXPECT_EQ(s.Read(buf, 1, &done), kStreamWriteOnly);
  EXPECT_EQ(s.PeekByte(&b), kStreamWriteOnly);
  EXPECT_EQ(s.Write(nullptr, 1), kInvalidArgument);
  EXPECT_EQ(s.Write(buf, -1), kInvalidArgument);

  EXPECT_EQ(s.Open(6), kBadOpenMode);
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(s.Open(kModeClose), kOk);
}

TEST_F(FileStreamTest, AppendModeHidesOldContent) {
  test::WriteFile(path_, "0123456789");
  CVelFileStream s(path_, false);
  ASSERT_EQ(s.Open(kModeAppend), kOk);
  EXPECT_EQ(s.GetLength(), 0);
  EXPECT_EQ(s.Tell(), 0);
  ASSERT_EQ(s.Write("abcde", 5), kOk);
  // Rewriting inside the appended part stays after the old end.
  ASSERT_EQ(s.Seek(1, kSeekSet), kOk);
  ASSERT_EQ(s.Write("X", 1), kOk);
  ASSERT_EQ(s.Close(), kOk);
  EXPECT_EQ(test::ReadFile(path_), "0123456789aXcde");
}

TEST_F(FileStreamTest, ReadWriteModeOverwritesAndReadsBack) {
  std::string content = test::Pattern(100000);
  test::WriteFile(path_, content);
  CVelFileStream s(path_, false);
  ASSERT_EQ(s.Open(kModeReadWrite), kOk);
  EXPECT_EQ(s.GetAccess(), kAccessReadWrite);
  ASSERT_EQ(s.Seek(70000, kSeekSet), kOk);
  ASSERT_EQ(s.Write("ZZZZ", 4), kOk);
  content.replace(70000, 4, "ZZZZ");
  // Read an area far from the dirty window, then the dirty bytes themselves.
  ASSERT_EQ(s.Seek(10, kSeekSet), kOk);
  EXPECT_EQ(test::ReadOnce(&s, 4), content.substr(10, 4));
  ASSERT_EQ(s.Seek(69999, kSeekSet), kOk);
  EXPECT_EQ(test::ReadOnce(&s, 4), content.substr(69999, 4));
  ASSERT_EQ(s.Seek(0, kSeekEnd), kOk);
  ASSERT_EQ(s.Write("tail", 4), kOk);
  content += "tail";
  ASSERT_EQ(s.Rewind(), kOk);
  EXPECT_EQ(ReadAll(s), content);
  ASSERT_EQ(s.Close(), kOk);
  EXPECT_EQ(test::ReadFile(path_), content);
}

TEST_F(FileStreamTest, SetLengthAndClear) {
  std::string content = test::Pattern(5000);
  test::WriteFile(path_, content);
  CVelFileStream s(path_, false);
  ASSERT_EQ(s.Open(kModeReadWrite), kOk);
  ASSERT_EQ(s.Seek(4000, kSeekSet), kOk);
  ASSERT_EQ(s.Write("w", 1), kOk);  // dirty window must reach the file first
  ASSERT_EQ(s.SetLength(3000), kOk);
  EXPECT_EQ(s.GetLength(), 3000);
  EXPECT_LE(s.Tell(), 3000);
  ASSERT_EQ(s.SetLength(3100), kOk);
  ASSERT_EQ(s.Rewind(), kOk);
  std::string expect = content.substr(0, 3000) + std::string(100, '\0');
  EXPECT_EQ(ReadAll(s), expect);
  EXPECT_EQ(s.SetLength(-4), kOk);  // ignored
  EXPECT_EQ(s.GetLength(), 3100);
  ASSERT_EQ(s.Clear(), kOk);
  EXPECT_EQ(s.GetLength(), 0);
  EXPECT_EQ(s.GetAccess(), kAccessReadWrite);
  ASSERT_EQ(s.Close(), kOk);
  EXPECT_EQ(test::ReadFile(path_), "");
}

TEST_F(FileStreamTest, ReleaseDeletesDestroyKeeps) {
  test::WriteFile(path_, "x");
  auto* s = new CVelFileStream(path_, false);
  ASSERT_EQ(s->Open(kModeRead), kOk);
  delete s;
  EXPECT_EQ(access(path_.c_str(), F_OK), 0);
  s = new CVelFileStream(path_, false);
  ASSERT_EQ(s->Open(kModeRead), kOk);
  EXPECT_EQ(s->Release(), kOk);
  EXPECT_NE(access(path_.c_str(), F_OK), 0);
}

TEST_F(FileStreamTest, AccessChanges) {
  test::WriteFile(path_, "abc");
  CVelFileStream s(path_, false);
  EXPECT_EQ(s.SetAccess(kAccessRead), 12030518);
  ASSERT_EQ(s.Open(kModeReadWrite), kOk);
  EXPECT_EQ(s.SetAccess(kAccessReadWrite), kOk);
  EXPECT_EQ(s.SetAccess(7), 12030521);
  EXPECT_EQ(s.SetAccess(kAccessRead), kOk);
  EXPECT_EQ(s.SetAccess(kAccessReadWrite), 12030521);  // never widens again
  EXPECT_EQ(s.Write("z", 1), kStreamReadOnly);
  ASSERT_EQ(s.Open(kModeWrite), kOk);
  EXPECT_EQ(s.SetAccess(kAccessRead), 12030521);
}

TEST_F(FileStreamTest, CloneIsClosedOverTheSameFile) {
  test::WriteFile(path_, "abc");
  CVelFileStream s(path_, true);
  std::unique_ptr<Stream> clone(s.Clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_FALSE(clone->IsOpen());
  EXPECT_EQ(clone->GetType(), kFileStream);
  ASSERT_EQ(clone->Open(kModeRead), kOk);
  EXPECT_EQ(ReadAll(*clone), "abc");
}

TEST_F(FileStreamTest, OpenFailures) {
  EXPECT_THROW(CVelFileStream("", false), std::runtime_error);
  try {
    CVelFileStream bad("", false);
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "CVelFileStream -- Cannot open file!");
  }
  CVelFileStream missing(dir_.File("missing"), false);
  EXPECT_EQ(missing.Open(kModeRead), kFileOpenFailed);
  EXPECT_EQ(missing.Open(kModeReadWrite), kFileOpenFailed);
  CVelFileStream directory(dir_.path(), false);
  EXPECT_EQ(directory.Open(kModeRead), kFileOpenFailed);
}

// Created files are never world-writable and a planted link is not followed.
TEST_F(FileStreamTest, CreationIsSafe) {
  mode_t old_mask = umask(0);
  {
    CVelFileStream s(path_, false);
    EXPECT_EQ(s.Open(kModeWrite), kOk);
  }
  umask(old_mask);
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0022, 0u);

  std::string victim = dir_.File("victim");
  std::string link = dir_.File("link");
  test::WriteFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  for (int mode : {kModeWrite, kModeAppend, kModeReadWriteNew}) {
    CVelFileStream s(link, false);
    EXPECT_EQ(s.Open(mode), kFileOpenFailed) << mode;
  }
  EXPECT_EQ(test::ReadFile(victim), "precious");
  // Reading through a link is fine.
  CVelFileStream reader(link, false);
  ASSERT_EQ(reader.Open(kModeRead), kOk);
  EXPECT_EQ(reader.GetLength(), 8);
}

}  // namespace
}  // namespace zoq
