// Helpers shared by the binary XML tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sxc/schema_codec.h"

namespace zoq::test {

std::string DataDir();  // tests/data/sxc
std::string ReadFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// A fresh path in the temporary directory.
std::string TempPath(const std::string& suffix);

// A codec for tests/data/sxc/NAME.bsg.
std::unique_ptr<SchemaCodec> CorpusCodec(const std::string& name);

// Encodes `xml` without printing messages.
bool Encode(SchemaCodec& codec, const std::string& xml, std::vector<uint8_t>* sxc, EncodeReport* report);
// Encodes and decodes again; answers the XML text, or "FAILED: reason".
std::string RoundTrip(SchemaCodec& codec, const std::string& xml);

}  // namespace zoq::test
