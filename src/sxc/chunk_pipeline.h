// Compresses long value streams while the document is still being parsed.
// Once a stream is too long to share a block with others, what it gains is
// copied in pieces (with the window before a chunk's first piece) and fed
// to its chunk's compressor on a helper thread; each stream's pieces are
// compressed in order, by one helper at a time. Every chunk comes out
// exactly as ParallelDeflate would compress it from the whole stream
// (deflate's output does not depend on how its input is handed over), so
// the writer only joins them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sxc/parallel_deflate.h"

namespace zoq {

class ChunkPipeline {
 public:
  // `helpers` 0 picks one less than the machine's core count (1 to 3).
  // Streams longer than `shared_limit` are compressed on their own; they
  // are shipped whenever they grew by `piece_size`.
  explicit ChunkPipeline(size_t node_count, int level = Z_DEFAULT_COMPRESSION, int helpers = 0,
                         size_t chunk_size = ParallelDeflate::kChunkSize, size_t shared_limit = 16383,
                         size_t piece_size = size_t{64} << 10);
  ~ChunkPipeline();
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  // Called after `stream`, the value stream of `node`, grew.
  void Grew(int node, const std::string& stream) {
    if (stream.size() >= next_ship_[static_cast<size_t>(node)]) Ship(node, stream, false);
  }

  // Compresses the rest of every stream that was shipped (on this thread
  // too), given the streams as they ended, and answers per node its chunks
  // in order: all of a shipped stream's, none of another's. False when zlib
  // failed.
  bool Finish(const std::vector<std::string>& streams, std::vector<std::vector<DeflatedChunk>>* chunks);

 private:
  struct Piece {
    std::vector<uint8_t> input;  // the window before the chunk (first piece), then stream bytes
    size_t dictionary = 0;
    size_t chunk = 0;  // which chunk of the stream the bytes belong to
    bool last = false;  // the stream ends with this piece
  };
  struct Stream {
    // Guarded by mutex_.
    std::deque<Piece> pending;
    bool scheduled = false;  // queued in ready_ or being compressed
    // Touched only by the helper compressing the stream.
    std::unique_ptr<z_stream> open;
    size_t open_chunk = 0;
    DeflatedChunk current;
    std::vector<DeflatedChunk> done;
    // Touched only by the thread calling Grew.
    size_t shipped = 0;
  };

  void Ship(int node, const std::string& stream, bool last);
  void Queue(int node, Piece piece);
  void Work(bool wait);
  bool Compress(Stream* stream, Piece* piece);
  bool Deflate(Stream* stream, const uint8_t* data, size_t size, int flush);
  bool EndChunk(Stream* stream, bool last);

  const int level_;
  const int helper_count_;
  const size_t chunk_size_;
  const size_t piece_size_;
  std::vector<size_t> next_ship_;  // per node: ship once the stream is this long
  std::vector<Stream> streams_;
  std::deque<int> ready_;  // streams with pieces and no helper
  // Input buffers of compressed pieces, reused for the next ones: fresh
  // memory for every piece costs a page fault per 4 KiB.
  std::vector<std::vector<uint8_t>> spare_inputs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool closing_ = false;
  bool failed_ = false;
  std::vector<std::thread> helpers_;
};

}  // namespace zoq
