#include "sxc/event_relay.h"

#include <algorithm>
#include <cstring>

namespace zoq {
namespace {

// A block holds events one after another: a kind byte, then for a start
// tag the attribute count and the name and each attribute's name and value,
// for an end tag the name, for text its bytes. Every string is its length
// (4 bytes) and its bytes; names and values end with a NUL, as the matcher
// takes them.
enum : char { kStartEvent = 'S', kEndEvent = 'E', kTextEvent = 'T' };

uint32_t ReadLength(const char* at) {
  uint32_t value;
  memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

EventRelay::EventRelay(size_t block_size, size_t queued)
    : block_size_(std::max<size_t>(block_size, 256)), queued_(std::max<size_t>(queued, 1)) {}

char* EventRelay::Put(char* at, const char* bytes, size_t size) {
  const auto length = static_cast<uint32_t>(size);
  memcpy(at, &length, sizeof length);
  memcpy(at + sizeof length, bytes, size);
  return at + sizeof length + size;
}

bool EventRelay::Reserve(size_t size) {
  if (current_.size + size <= current_.capacity) return true;
  if (current_.size > 0 && !Ship()) return false;
  if (size > current_.capacity) {
    // An event larger than a block (a long attribute value or text run).
    current_.capacity = std::max(size, block_size_);
    current_.bytes = std::make_unique<char[]>(current_.capacity);
  }
  return true;
}

bool EventRelay::Ship() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return full_.size() < queued_ || stopped_; });
  if (stopped_) {
    current_.size = 0;
    return false;
  }
  full_.push_back(std::move(current_));
  current_ = Block{};
  if (!spare_.empty()) {
    current_ = std::move(spare_.back());
    spare_.pop_back();
  }
  lock.unlock();
  changed_.notify_all();
  return true;
}

bool EventRelay::Start(const char* name, const char** attributes) {
  // Lengths are measured once; start tags rarely have more than a few
  // attributes.
  constexpr size_t kMeasured = 16;
  size_t lengths[kMeasured];
  size_t count = 0;
  const size_t name_size = strlen(name);
  size_t size = 1 + 4 + 4 + name_size + 1;
  for (; attributes != nullptr && attributes[count] != nullptr; ++count) {
    const size_t length = strlen(attributes[count]);
    if (count < kMeasured) lengths[count] = length;
    size += 4 + length + 1;
  }
  if (!Reserve(size)) return false;
  char* at = current_.bytes.get() + current_.size;
  *at++ = kStartEvent;
  const auto pairs = static_cast<uint32_t>(count / 2);
  memcpy(at, &pairs, sizeof pairs);
  at = Put(at + sizeof pairs, name, name_size + 1);
  for (size_t i = 0; i < count; ++i) {
    at = Put(at, attributes[i], (i < kMeasured ? lengths[i] : strlen(attributes[i])) + 1);
  }
  current_.size = static_cast<size_t>(at - current_.bytes.get());
  return true;
}

bool EventRelay::End(const char* name) {
  const size_t name_size = strlen(name);
  if (!Reserve(1 + 4 + name_size + 1)) return false;
  char* at = current_.bytes.get() + current_.size;
  *at++ = kEndEvent;
  at = Put(at, name, name_size + 1);
  current_.size = static_cast<size_t>(at - current_.bytes.get());
  return true;
}

bool EventRelay::Text(const char* text, int length) {
  const auto size = static_cast<size_t>(length);
  if (!Reserve(1 + 4 + size)) return false;
  char* at = current_.bytes.get() + current_.size;
  *at++ = kTextEvent;
  at = Put(at, text, size);
  current_.size = static_cast<size_t>(at - current_.bytes.get());
  return true;
}

void EventRelay::Close() {
  if (current_.size > 0) Ship();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

void EventRelay::ReplayBlock(const Block& block, RelayedEvents* events) {
  const char* at = block.bytes.get();
  const char* const end = at + block.size;
  while (at < end) {
    const char kind = *at++;
    if (kind == kStartEvent) {
      const uint32_t pairs = ReadLength(at);
      at += 4;
      const char* name = at + 4;
      at = name + ReadLength(at);
      attributes_.clear();
      for (uint32_t i = 0; i < 2 * pairs; ++i) {
        attributes_.push_back(at + 4);
        at += 4 + ReadLength(at);
      }
      attributes_.push_back(nullptr);
      events->StartElement(name, attributes_.data());
    } else if (kind == kEndEvent) {
      const char* name = at + 4;
      at = name + ReadLength(at);
      events->EndElement(name);
    } else {
      const uint32_t length = ReadLength(at);
      events->CharacterData(at + 4, static_cast<int>(length));
      at += 4 + length;
    }
  }
}

void EventRelay::Replay(RelayedEvents* events) {
  for (;;) {
    Block block;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !full_.empty() || closed_; });
      if (full_.empty()) return;
      block = std::move(full_.front());
      full_.pop_front();
    }
    changed_.notify_all();
    ReplayBlock(block, events);
    block.size = 0;
    const bool stop = events->Stopped();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop) {
        stopped_ = true;
      } else if (block.capacity == block_size_) {
        spare_.push_back(std::move(block));
      }
    }
    if (stop) {
      changed_.notify_all();
      return;
    }
  }
}

}  // namespace zoq
