#include "sxc/schema_cache.h"

#include <map>
#include <mutex>

namespace zoq {
namespace {

struct CacheState {
  std::mutex mutex;
  // std::array compares bytewise as unsigned values, lowest offset first.
  std::map<SchemaIdentifier, std::shared_ptr<const BinarySchema>> entries;
};

CacheState& State() {
  static CacheState state;
  return state;
}

}  // namespace

std::shared_ptr<const BinarySchema> SchemaCache::Find(const SchemaIdentifier& identifier) {
  CacheState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  auto it = state.entries.find(identifier);
  return it == state.entries.end() ? nullptr : it->second;
}

std::shared_ptr<const BinarySchema> SchemaCache::Insert(std::shared_ptr<const BinarySchema> schema) {
  CacheState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  auto [it, inserted] = state.entries.emplace(schema->identifier, schema);
  return it->second;
}

size_t SchemaCache::Size() {
  CacheState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.entries.size();
}

void SchemaCache::Clear() {
  CacheState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.entries.clear();
}

}  // namespace zoq
