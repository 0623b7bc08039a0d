// Reading a part's content from an open package piece by piece, for
// standard output or a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "cli/package_session.h"

namespace zoqcli {

// Opens the part's content with the decode code and hands it to `sink` in
// pieces; returns the number of bytes. Throws CodeFailure when the part
// cannot be opened or a piece cannot be read (the sink may then have
// received part of the content); when an SXC document passed its decoding
// limit, the failure's context says so. Warns once per run when an
// encrypted part is decrypted while its initial counter block cannot be
// decided. With `damaged`, the stored bytes are checked against their check
// bytes as they are read: a mismatch sets *damaged once the whole content
// has gone to the sink.
int64_t ReadPartContent(const PackageSession& session, const std::u16string& path, int code,
                        const std::function<void(const uint8_t*, size_t)>& sink,
                        bool* damaged = nullptr);
// The same at another revision limit than the session's.
int64_t ReadPartContentAt(const PackageSession& session, const std::u16string& path, int code,
                          int revision_limit,
                          const std::function<void(const uint8_t*, size_t)>& sink,
                          bool* damaged = nullptr);

// The warning for content whose stored bytes fail their check.
void WarnDamaged(const std::u16string& path);

// The decode code of a --keep value: 1, 2, 128 or sxc, zip, adm (any case).
// Anything else throws UsageError.
int KeepCode(const std::string& text);

}  // namespace zoqcli
