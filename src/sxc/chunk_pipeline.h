// Compresses long value streams while the document is still being parsed:
// every full chunk of a stream that more data follows is copied (with the
// window before it) and compressed on helper threads, exactly as
// ParallelDeflate would compress that chunk later. The encoder hands the
// finished chunks to the writer, which compresses only the rest.
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
  explicit ChunkPipeline(size_t node_count, int level = Z_DEFAULT_COMPRESSION, int helpers = 0,
                         size_t chunk_size = ParallelDeflate::kChunkSize);
  ~ChunkPipeline();
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  // Called after `stream`, the value stream of `node`, grew: ships every
  // chunk of it that more data follows.
  void Grew(int node, const std::string& stream) {
    if (stream.size() > next_ship_[static_cast<size_t>(node)]) Ship(node, stream);
  }

  // Compresses what is still queued (on this thread too) and answers the
  // finished chunks per node, in order. False when zlib failed.
  bool Finish(std::vector<std::vector<DeflatedChunk>>* chunks);

 private:
  struct Task {
    int node = 0;
    std::vector<uint8_t> input;  // the window before the chunk, then the chunk
    size_t dictionary = 0;
    DeflatedChunk chunk;
  };

  void Ship(int node, const std::string& stream);
  void Work();
  // Takes the next queued task, or null when there is none (and, when
  // `wait`, none will come).
  Task* Next(bool wait);
  void Compress(Task* task);

  const int level_;
  const int helper_count_;
  const size_t chunk_size_;
  std::vector<size_t> next_ship_;  // per node: ship once the stream is longer than this
  std::vector<std::unique_ptr<Task>> tasks_;  // in the order shipped
  std::deque<Task*> queue_;
  // Input buffers of compressed chunks, reused for the next ones: fresh
  // memory for every chunk costs a page fault per 4 KiB.
  std::vector<std::vector<uint8_t>> spare_inputs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool closing_ = false;
  bool failed_ = false;
  std::vector<std::thread> helpers_;
};

}  // namespace zoq
