#include "sxc/event_log.h"

#include <cstring>

namespace zoq {

void EventLog::Tagged(char tag, int32_t value) {
  char bytes[5];
  bytes[0] = tag;
  memcpy(bytes + 1, &value, 4);
  bytes_.append(bytes, 5);
}

void EventLog::Bool(bool value) {
  bytes_.push_back('B');
  bytes_.push_back(value ? 1 : 0);
}

void EventLog::Int(int32_t value) { Tagged('I', value); }

void EventLog::Double(double value) {
  char bytes[9];
  bytes[0] = 'D';
  memcpy(bytes + 1, &value, 8);
  bytes_.append(bytes, 9);
}

void EventLog::Text(const char* utf8, size_t length) {
  Tagged('T', static_cast<int32_t>(length));
  bytes_.append(utf8, length);
}

}  // namespace zoq
