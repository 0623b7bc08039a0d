#include "sxc/parallel_deflate.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "sxc/zlib_codec.h"

namespace zoq {
namespace {

// Below this much input in all, starting threads costs more than it saves.
constexpr size_t kThreadedMinimum = size_t{1} << 20;

// One unit of work: a whole job, or one chunk of a chunked job.
struct Task {
  size_t job = 0;
  const uint8_t* data = nullptr;  // chunk tasks only
  size_t dictionary = 0;          // bytes before `data` that prime the chunk
  bool last = false;
  bool whole = false;
  DeflatedChunk chunk;
};

// The two header bytes zlib writes for `level` with a 32 KiB window.
void PutZlibHeader(int level, std::vector<uint8_t>* out) {
  if (level == Z_DEFAULT_COMPRESSION) level = 6;
  const unsigned flags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = ((Z_DEFLATED + ((MAX_WBITS - 8) << 4)) << 8) | (flags << 6);
  header += 31 - header % 31;
  out->push_back(static_cast<uint8_t>(header >> 8));
  out->push_back(static_cast<uint8_t>(header));
}

bool RunTask(int level, std::vector<DeflateJob>& jobs, Task* task) {
  if (!task->whole) {
    return DeflateChunk(level, task->data, task->chunk.size, task->dictionary, task->last, &task->chunk);
  }
  Deflater deflater(level);
  DeflateJob& job = jobs[task->job];
  for (const auto& [data, size] : job.pieces) {
    if (!deflater.Add(data, size, &job.output)) return false;
  }
  return deflater.Finish(&job.output);
}

// The job's chunks behind one zlib header, then the Adler-32 of the whole
// input (big-endian).
void JoinChunks(int level, const std::vector<const DeflatedChunk*>& chunks, std::vector<uint8_t>* out) {
  size_t bytes = 2 + 4;
  for (const DeflatedChunk* chunk : chunks) bytes += chunk->output.size();
  out->reserve(bytes);
  PutZlibHeader(level, out);
  uLong adler = adler32(0, nullptr, 0);
  for (const DeflatedChunk* chunk : chunks) {
    out->insert(out->end(), chunk->output.begin(), chunk->output.end());
    adler = adler32_combine(adler, chunk->adler, static_cast<z_off_t>(chunk->size));
  }
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(adler >> shift));
}

}  // namespace

bool DeflateChunk(int level, const uint8_t* data, size_t size, size_t dictionary, bool last,
                  DeflatedChunk* chunk) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  bool ok = true;
  if (dictionary > 0 &&
      deflateSetDictionary(&z, data - dictionary, static_cast<uInt>(dictionary)) != Z_OK) {
    ok = false;
  }
  // Room for the worst case without zero-filling it; the result is copied
  // out at its real size.
  size_t room = deflateBound(&z, size) + 64;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[room]);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = buffer.get();
  z.avail_out = static_cast<uInt>(room);
  const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
  while (ok) {
    const int ret = deflate(&z, flush);
    if (ret == Z_STREAM_ERROR) {
      ok = false;
    } else if (last ? ret == Z_STREAM_END : (z.avail_in == 0 && z.avail_out != 0)) {
      break;
    } else {  // not done yet: more room
      const size_t produced = room - z.avail_out;
      std::unique_ptr<uint8_t[]> larger(new uint8_t[room * 2]);
      memcpy(larger.get(), buffer.get(), produced);
      buffer = std::move(larger);
      room *= 2;
      z.next_out = buffer.get() + produced;
      z.avail_out = static_cast<uInt>(room - produced);
    }
  }
  const size_t produced = room - z.avail_out;
  deflateEnd(&z);
  chunk->output.assign(buffer.get(), buffer.get() + produced);
  chunk->size = size;
  chunk->adler = adler32(adler32(0, nullptr, 0), data, static_cast<uInt>(size));
  return ok;
}

ParallelDeflate::ParallelDeflate(int level, int threads, size_t chunk_size)
    : level_(level), threads_(threads), chunk_size_(std::max<size_t>(chunk_size, 1024)) {
  if (threads_ <= 0) {
    threads_ = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  }
}

bool ParallelDeflate::Run(std::vector<DeflateJob>* jobs) {
  // Inputs of several pieces that need chunking are joined first, so that
  // every chunk has its dictionary right before it.
  std::vector<std::vector<uint8_t>> joined(jobs->size());
  std::vector<Task> tasks;
  std::vector<size_t> first_task(jobs->size());
  size_t total = 0;
  for (size_t j = 0; j < jobs->size(); ++j) {
    DeflateJob& job = (*jobs)[j];
    job.output.clear();
    first_task[j] = tasks.size();
    size_t size = 0;
    for (const auto& piece : job.pieces) size += piece.second;
    const size_t done = std::min(job.done.size() * chunk_size_, size);
    total += size - done;
    if (size <= chunk_size_ && job.done.empty()) {
      Task task;
      task.job = j;
      task.whole = true;
      tasks.push_back(std::move(task));
      continue;
    }
    const uint8_t* data = job.pieces.size() == 1 ? job.pieces[0].first : nullptr;
    if (data == nullptr) {
      joined[j].reserve(size);
      for (const auto& [bytes, n] : job.pieces) joined[j].insert(joined[j].end(), bytes, bytes + n);
      data = joined[j].data();
    }
    for (size_t at = done; at < size; at += chunk_size_) {
      Task task;
      task.job = j;
      task.data = data + at;
      task.chunk.size = std::min(chunk_size_, size - at);
      task.dictionary = std::min(at, kDeflateDictionarySize);
      task.last = at + task.chunk.size == size;
      tasks.push_back(std::move(task));
    }
  }

  // Largest inputs first, so that no thread is left with a long one while
  // the others have run out of work.
  std::vector<size_t> order(tasks.size());
  std::vector<size_t> input_size(tasks.size());
  for (size_t i = 0; i < tasks.size(); ++i) {
    order[i] = i;
    if (!tasks[i].whole) {
      input_size[i] = tasks[i].chunk.size;
    } else {
      for (const auto& piece : (*jobs)[tasks[i].job].pieces) input_size[i] += piece.second;
    }
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return input_size[a] > input_size[b]; });
  std::atomic<size_t> next{0};
  std::atomic<bool> ok{true};
  auto work = [&] {
    for (size_t i = next++; i < order.size(); i = next++) {
      if (!RunTask(level_, *jobs, &tasks[order[i]])) ok = false;
    }
  };
  const size_t helpers = total < kThreadedMinimum || tasks.empty()
                             ? 0
                             : std::min<size_t>(threads_ - 1, tasks.size() - 1);
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  for (size_t i = 0; i < helpers; ++i) threads.emplace_back(work);
  work();
  for (auto& thread : threads) thread.join();
  if (!ok) return false;

  std::vector<const DeflatedChunk*> chunks;
  for (size_t j = 0; j < jobs->size(); ++j) {
    const size_t end = j + 1 < jobs->size() ? first_task[j + 1] : tasks.size();
    if (first_task[j] < end && tasks[first_task[j]].whole) continue;
    chunks.clear();
    for (const DeflatedChunk& chunk : (*jobs)[j].done) chunks.push_back(&chunk);
    for (size_t t = first_task[j]; t < end; ++t) chunks.push_back(&tasks[t].chunk);
    JoinChunks(level_, chunks, &(*jobs)[j].output);
  }
  return true;
}

}  // namespace zoq
