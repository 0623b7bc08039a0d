// Carries parser events from the thread that parses the XML text to the
// thread that matches them against the schema. The parser's handlers copy
// each event (its name, attributes or text) into the current block; full
// blocks pass through a bounded queue and are replayed in order on the
// other side, so parsing and matching run at the same time. Blocks are
// reused: memory stays at a few blocks whatever the document's size.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace zoq {

// What replayed events are handed to (the matcher).
class RelayedEvents {
 public:
  virtual ~RelayedEvents() = default;
  virtual void StartElement(const char* name, const char** attributes) = 0;
  virtual void EndElement(const char* name) = 0;
  virtual void CharacterData(const char* text, int length) = 0;
  // Asked after each block: true stops the replay and the parser.
  virtual bool Stopped() const = 0;
};

class EventRelay {
 public:
  // Blocks of about `block_size` bytes (one larger event gets a larger
  // block), at most `queued` of them waiting.
  explicit EventRelay(size_t block_size, size_t queued = 8);
  EventRelay(const EventRelay&) = delete;
  EventRelay& operator=(const EventRelay&) = delete;

  // Parser side. Each answers false once the other side stopped: the
  // parser should stop too.
  bool Start(const char* name, const char** attributes);
  bool End(const char* name);
  bool Text(const char* text, int length);
  // Hands over what is left; the replay ends after it.
  void Close();

  // Matcher side: replays every event until the parser side closed or
  // `events` stopped.
  void Replay(RelayedEvents* events);

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
    size_t size = 0;
  };

  // Room for `size` more bytes in the current block; false when stopped.
  bool Reserve(size_t size);
  bool Ship();
  char* Put(char* at, const char* bytes, size_t size);
  void ReplayBlock(const Block& block, RelayedEvents* events);

  const size_t block_size_;
  const size_t queued_;
  Block current_;
  std::deque<Block> full_;
  std::vector<Block> spare_;
  std::vector<const char*> attributes_;  // replay side: the attribute array
  std::mutex mutex_;
  std::condition_variable changed_;
  bool closed_ = false;
  std::atomic<bool> stopped_{false};
};

}  // namespace zoq
