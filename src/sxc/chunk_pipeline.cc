#include "sxc/chunk_pipeline.h"

#include <algorithm>
#include <climits>

namespace zoq {

ChunkPipeline::ChunkPipeline(size_t node_count, int level, int helpers, size_t chunk_size,
                             size_t shared_limit, size_t piece_size)
    : level_(level),
      helper_count_(helpers > 0 ? helpers
                                : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 2u, 4u) - 1)),
      chunk_size_(std::clamp<size_t>(chunk_size, 1024, UINT_MAX / 2)),
      piece_size_(std::max<size_t>(piece_size, 1)),
      next_ship_(node_count, shared_limit + 1),
      streams_(node_count) {}

ChunkPipeline::~ChunkPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    failed_ = true;  // nobody waits for the results any more
    ready_.clear();
  }
  wake_.notify_all();
  for (auto& helper : helpers_) helper.join();
  for (Stream& stream : streams_) {
    if (stream.open) deflateEnd(stream.open.get());
  }
}

void ChunkPipeline::Queue(int node, Piece piece) {
  std::lock_guard<std::mutex> lock(mutex_);
  Stream& stream = streams_[static_cast<size_t>(node)];
  stream.pending.push_back(std::move(piece));
  if (!stream.scheduled) {
    stream.scheduled = true;
    ready_.push_back(node);
  }
  if (helpers_.empty()) {
    for (int i = 0; i < helper_count_; ++i) helpers_.emplace_back([this] { Work(true); });
  }
}

// Ships what the stream gained since the last time, cut at chunk
// boundaries; the first piece of a chunk carries the window before it.
void ChunkPipeline::Ship(int node, const std::string& stream, bool last) {
  const auto* data = reinterpret_cast<const uint8_t*>(stream.data());
  size_t& shipped = streams_[static_cast<size_t>(node)].shipped;
  const size_t end = stream.size();
  do {
    Piece piece;
    if (shipped == end) {
      // Nothing left: the open chunk ends here (it is the last one when the
      // stream ends on a chunk boundary).
      piece.chunk = shipped % chunk_size_ == 0 && shipped > 0 ? shipped / chunk_size_ - 1 : shipped / chunk_size_;
    } else {
      piece.chunk = shipped / chunk_size_;
    }
    const size_t stop = std::min(end, (piece.chunk + 1) * chunk_size_);
    piece.dictionary = shipped % chunk_size_ == 0 && shipped < end ? std::min(shipped, kDeflateDictionarySize) : 0;
    piece.last = last && stop == end;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!spare_inputs_.empty()) {
        piece.input = std::move(spare_inputs_.back());
        spare_inputs_.pop_back();
      }
    }
    piece.input.assign(data + shipped - piece.dictionary, data + stop);
    shipped = stop;
    Queue(node, std::move(piece));
  } while (shipped < end);
  next_ship_[static_cast<size_t>(node)] = shipped + piece_size_;
  wake_.notify_one();
}

bool ChunkPipeline::Deflate(Stream* stream, const uint8_t* data, size_t size, int flush) {
  z_stream& z = *stream->open;
  std::vector<uint8_t>& out = stream->current.output;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  for (;;) {
    const size_t at = out.size();
    const size_t room = std::max<size_t>(deflateBound(&z, z.avail_in), 4096);
    out.resize(at + room);
    z.next_out = out.data() + at;
    z.avail_out = static_cast<uInt>(room);
    const int status = deflate(&z, flush);
    out.resize(at + room - z.avail_out);
    if (status == Z_STREAM_ERROR) return false;
    if (flush == Z_FINISH ? status == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0) return true;
  }
}

bool ChunkPipeline::EndChunk(Stream* stream, bool last) {
  const bool ok = Deflate(stream, nullptr, 0, last ? Z_FINISH : Z_SYNC_FLUSH);
  deflateEnd(stream->open.get());
  stream->open.reset();
  stream->done.push_back(std::move(stream->current));
  stream->current = DeflatedChunk{};
  return ok;
}

// Raw deflate per chunk, primed with the window before it, ended with a
// sync flush or, for the stream's last chunk, the finish: as DeflateChunk.
bool ChunkPipeline::Compress(Stream* stream, Piece* piece) {
  if (!stream->open || stream->open_chunk != piece->chunk) {
    if (stream->open && !EndChunk(stream, false)) return false;
    stream->open = std::make_unique<z_stream>();
    if (deflateInit2(stream->open.get(), level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      stream->open.reset();
      return false;
    }
    stream->open_chunk = piece->chunk;
    if (piece->dictionary > 0 &&
        deflateSetDictionary(stream->open.get(), piece->input.data(), static_cast<uInt>(piece->dictionary)) != Z_OK) {
      return false;
    }
  }
  const uint8_t* data = piece->input.data() + piece->dictionary;
  const size_t size = piece->input.size() - piece->dictionary;
  if (size > 0) {
    if (!Deflate(stream, data, size, Z_NO_FLUSH)) return false;
    stream->current.adler = adler32(stream->current.adler, data, static_cast<uInt>(size));
    stream->current.size += size;
  }
  return piece->last ? EndChunk(stream, true) : true;
}

void ChunkPipeline::Work(bool wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (wait) wake_.wait(lock, [this] { return closing_ || !ready_.empty(); });
    if (ready_.empty()) return;
    Stream& stream = streams_[static_cast<size_t>(ready_.front())];
    ready_.pop_front();
    while (!stream.pending.empty() && !failed_) {
      Piece piece = std::move(stream.pending.front());
      stream.pending.pop_front();
      lock.unlock();
      const bool ok = Compress(&stream, &piece);
      lock.lock();
      spare_inputs_.push_back(std::move(piece.input));
      if (!ok) failed_ = true;
    }
    stream.scheduled = false;
  }
}

bool ChunkPipeline::Finish(const std::vector<std::string>& streams,
                           std::vector<std::vector<DeflatedChunk>>* chunks) {
  for (size_t node = 0; node < streams_.size() && node < streams.size(); ++node) {
    if (streams_[node].shipped > 0) Ship(static_cast<int>(node), streams[node], true);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  Work(false);
  for (auto& helper : helpers_) helper.join();
  helpers_.clear();
  spare_inputs_.clear();
  chunks->assign(streams_.size(), {});
  if (failed_) return false;
  for (size_t node = 0; node < streams_.size(); ++node) (*chunks)[node] = std::move(streams_[node].done);
  return true;
}

}  // namespace zoq
