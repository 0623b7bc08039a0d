#include "sxc/parallel_deflate.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "sxc/zlib_codec.h"

namespace zoq {
namespace {

constexpr size_t kDictionarySize = 32768;
// Below this much input in all, starting threads costs more than it saves.
constexpr size_t kThreadedMinimum = size_t{1} << 20;

// One unit of work: a whole job, or one chunk of a chunked job.
struct Task {
  size_t job = 0;
  const uint8_t* data = nullptr;  // chunk tasks only
  size_t size = 0;
  size_t dictionary = 0;  // bytes before `data` that prime the chunk
  bool last = false;
  bool whole = false;
  std::vector<uint8_t> output;
  uLong adler = 1;
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

// Raw deflate of one chunk, primed with the bytes before it, ended with a
// sync flush (byte-aligned, not final) or, for the last chunk, the finish.
bool DeflateChunk(int level, Task* task) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  bool ok = true;
  if (task->dictionary > 0 &&
      deflateSetDictionary(&z, task->data - task->dictionary,
                           static_cast<uInt>(task->dictionary)) != Z_OK) {
    ok = false;
  }
  std::vector<uint8_t>& out = task->output;
  out.resize(deflateBound(&z, task->size) + 64);
  z.next_in = const_cast<Bytef*>(task->data);
  z.avail_in = static_cast<uInt>(task->size);
  size_t produced = 0;
  const int flush = task->last ? Z_FINISH : Z_SYNC_FLUSH;
  while (ok) {
    z.next_out = out.data() + produced;
    z.avail_out = static_cast<uInt>(out.size() - produced);
    const int ret = deflate(&z, flush);
    produced = out.size() - z.avail_out;
    if (ret == Z_STREAM_ERROR) {
      ok = false;
    } else if (task->last ? ret == Z_STREAM_END : (z.avail_in == 0 && z.avail_out != 0)) {
      break;
    } else {
      out.resize(out.size() * 2);  // not done yet: more room
    }
  }
  deflateEnd(&z);
  out.resize(produced);
  task->adler = adler32(adler32(0, nullptr, 0), task->data, static_cast<uInt>(task->size));
  return ok;
}

bool RunTask(int level, std::vector<DeflateJob>& jobs, Task* task) {
  if (!task->whole) return DeflateChunk(level, task);
  Deflater deflater(level);
  DeflateJob& job = jobs[task->job];
  for (const auto& [data, size] : job.pieces) {
    if (!deflater.Add(data, size, &job.output)) return false;
  }
  return deflater.Finish(&job.output);
}

}  // namespace

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
  size_t total = 0;
  for (size_t j = 0; j < jobs->size(); ++j) {
    DeflateJob& job = (*jobs)[j];
    job.output.clear();
    size_t size = 0;
    for (const auto& piece : job.pieces) size += piece.second;
    total += size;
    if (size <= chunk_size_) {
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
    for (size_t at = 0; at < size; at += chunk_size_) {
      Task task;
      task.job = j;
      task.data = data + at;
      task.size = std::min(chunk_size_, size - at);
      task.dictionary = std::min(at, kDictionarySize);
      task.last = at + task.size == size;
      tasks.push_back(std::move(task));
    }
  }

  if (tasks.empty()) return true;
  std::atomic<size_t> next{0};
  std::atomic<bool> ok{true};
  auto work = [&] {
    for (size_t i = next++; i < tasks.size(); i = next++) {
      if (!RunTask(level_, *jobs, &tasks[i])) ok = false;
    }
  };
  const size_t helpers =
      total < kThreadedMinimum ? 0 : std::min<size_t>(threads_ - 1, tasks.size() - 1);
  std::vector<std::thread> threads;
  threads.reserve(helpers);
  for (size_t i = 0; i < helpers; ++i) threads.emplace_back(work);
  work();
  for (auto& thread : threads) thread.join();
  if (!ok) return false;

  // Join the chunks of each chunked job behind one header, then the
  // Adler-32 of the whole input (big-endian).
  for (size_t i = 0; i < tasks.size();) {
    if (tasks[i].whole) {
      ++i;
      continue;
    }
    DeflateJob& job = (*jobs)[tasks[i].job];
    size_t end = i;
    size_t bytes = 2 + 4;
    for (; end < tasks.size() && !tasks[end].whole && tasks[end].job == tasks[i].job; ++end) {
      bytes += tasks[end].output.size();
    }
    job.output.reserve(bytes);
    PutZlibHeader(level_, &job.output);
    uLong adler = adler32(0, nullptr, 0);
    for (size_t k = i; k < end; ++k) {
      job.output.insert(job.output.end(), tasks[k].output.begin(), tasks[k].output.end());
      adler = adler32_combine(adler, tasks[k].adler, static_cast<z_off_t>(tasks[k].size));
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
      job.output.push_back(static_cast<uint8_t>(adler >> shift));
    }
    i = end;
  }
  return true;
}

}  // namespace zoq
