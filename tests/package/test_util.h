// Helpers shared by the package tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zoq/container.h"

namespace zoq::test {

std::string DataDir();  // tests/data/package
std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string Sha256Hex(const std::vector<uint8_t>& bytes);
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& utf16);

// The 16-byte key (bytes 1 to 16) the tests encrypt with.
extern const KeyInfo kTestKey;

// A read-only memory stream over `size` bytes at `data`, which must outlive
// it; null when it cannot be made.
std::unique_ptr<Stream> MemoryReader(const void* data, size_t size);

// A container with its own temporary directory below the test's temp dir.
std::unique_ptr<Container> MakeContainer(bool no_temp_dir = false, bool no_tree = false);

// Reads a whole stream; returns the first failing code.
int ReadAll(Stream* stream, std::vector<uint8_t>* out);

// OpenPart + ReadAll; the code of whichever fails first.
int ReadContent(Container* container, const std::u16string& path, int revision_limit,
                const DecodeOptions* options, bool keep, std::vector<uint8_t>* out);

// ReadContent's bytes, or "<error CODE>" when it fails.
std::vector<uint8_t> PartContent(Container* container, const std::u16string& path,
                                 int revision_limit = 0, const DecodeOptions* options = nullptr);

}  // namespace zoq::test
