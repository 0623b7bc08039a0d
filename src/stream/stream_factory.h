// Stream kinds that live above the stream layer. The stream layer builds its
// own kinds itself; a higher layer hands CreateStream the maker of each kind
// it adds (the SXC layer adds kSxcStream) by calling RegisterStreamMaker.
// Registration is an explicit call, not a static object, so that linking the
// static library never drops it.
#pragma once

#include "zoq/stream.h"

namespace zoq {

// Builds a stream from its argument record; throws std::runtime_error when
// the arguments are refused (CreateStream answers 6005 then).
using StreamMaker = Stream* (*)(void* args);

// Makes `maker` build streams of `type` (a code the stream layer does not
// build itself). Registering again replaces the maker; any thread may call it.
void RegisterStreamMaker(int type, StreamMaker maker);

}  // namespace zoq
