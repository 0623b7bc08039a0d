#include "sxc/chunk_pipeline.h"

#include <algorithm>

namespace zoq {

ChunkPipeline::ChunkPipeline(size_t node_count, int level, int helpers, size_t chunk_size)
    : level_(level),
      helper_count_(helpers > 0 ? helpers
                                : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 2u, 4u) - 1)),
      chunk_size_(std::max<size_t>(chunk_size, 1024)),
      next_ship_(node_count, chunk_size_) {}

ChunkPipeline::~ChunkPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    queue_.clear();  // nobody waits for the results any more
  }
  wake_.notify_all();
  for (auto& helper : helpers_) helper.join();
}

void ChunkPipeline::Ship(int node, const std::string& stream) {
  const auto* data = reinterpret_cast<const uint8_t*>(stream.data());
  size_t& next = next_ship_[static_cast<size_t>(node)];
  while (stream.size() > next) {
    const size_t start = next - chunk_size_;
    auto task = std::make_unique<Task>();
    task->node = node;
    task->dictionary = std::min(start, kDeflateDictionarySize);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!spare_inputs_.empty()) {
        task->input = std::move(spare_inputs_.back());
        spare_inputs_.pop_back();
      }
    }
    task->input.assign(data + start - task->dictionary, data + next);
    next += chunk_size_;
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(task.get());
    tasks_.push_back(std::move(task));
    if (helpers_.empty()) {
      for (int i = 0; i < helper_count_; ++i) helpers_.emplace_back([this] { Work(); });
    }
  }
  wake_.notify_one();
}

ChunkPipeline::Task* ChunkPipeline::Next(bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (wait) wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
  if (queue_.empty()) return nullptr;
  Task* task = queue_.front();
  queue_.pop_front();
  return task;
}

void ChunkPipeline::Compress(Task* task) {
  const bool ok = DeflateChunk(level_, task->input.data() + task->dictionary,
                               task->input.size() - task->dictionary, task->dictionary, false, &task->chunk);
  // The stream itself still holds these bytes.
  std::lock_guard<std::mutex> lock(mutex_);
  spare_inputs_.push_back(std::move(task->input));
  task->input = {};
  if (!ok) failed_ = true;
}

void ChunkPipeline::Work() {
  while (Task* task = Next(true)) Compress(task);
}

bool ChunkPipeline::Finish(std::vector<std::vector<DeflatedChunk>>* chunks) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  while (Task* task = Next(false)) Compress(task);
  for (auto& helper : helpers_) helper.join();
  helpers_.clear();
  chunks->assign(next_ship_.size(), {});
  for (auto& task : tasks_) (*chunks)[static_cast<size_t>(task->node)].push_back(std::move(task->chunk));
  tasks_.clear();
  spare_inputs_.clear();
  return !failed_;
}

}  // namespace zoq
