// Helpers shared by the hardening tests: the key the test packages are
// encrypted with, the SXC test data, scratch files and folder listings, SXC
// documents run through the SXC stream over a stream that may fail, and the
// sweep of fault positions.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fault_stream.h"
#include "zoq/decode_options.h"

namespace zoq::hardening {

// The key of the encrypted parts of the test packages (AES-128-CTR).
const KeyInfo& TestKey();

// A file of tests/data/sxc.
std::string SxcData(const std::string& name);

// Writes `bytes` to a new or truncated file (a test failure when it cannot).
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The names in folder `dir` (not below it) that start with `prefix`,
// sorted; none when it cannot be read.
std::vector<std::string> FolderNames(const std::string& dir, const std::string& prefix = {});

// Decodes `sxc` through the SXC stream over a faulty memory stream; the code
// of the first failure, the XML on success.
int DecodeThrough(const std::vector<uint8_t>& sxc, std::shared_ptr<FaultPlan> plan,
                  const std::string& schema, std::vector<uint8_t>* xml);

// Encodes `xml` through the SXC stream into a faulty memory stream (write,
// then close); the code of the first failing step, and what was written.
int EncodeThrough(const std::vector<uint8_t>& xml, std::shared_ptr<FaultPlan> plan,
                  const std::string& schema, std::vector<uint8_t>* sxc);

// The k values tried for a path that makes `count` operations of a kind:
// every one up to a few hundred, an even spread beyond.
std::vector<int64_t> Targets(int64_t count);

// Calls `attempt(op, k, label)` for every k that Targets picks for each kind
// in `kinds`, where `count(op)` is how many operations of that kind the path
// makes. Stops after the first attempt that fails the test. Answers the
// number of attempts.
int SweepFaults(const std::vector<Op>& kinds, const std::function<int64_t(Op)>& count,
                const std::function<void(Op, int64_t, const std::string&)>& attempt);

}  // namespace zoq::hardening
