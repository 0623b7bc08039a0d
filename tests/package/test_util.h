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
std::string Sha256Hex(const std::vector<uint8_t>& bytes);
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& utf16);

// A container with its own temporary directory below the test's temp dir.
std::unique_ptr<Container> MakeContainer(bool no_temp_dir = false, bool no_tree = false);

// Reads a whole stream; returns the first failing code.
int ReadAll(Stream* stream, std::vector<uint8_t>* out);

// OpenPart + ReadAll; the code of whichever fails first.
int ReadContent(Container* container, const std::u16string& path, int revision_limit,
                const DecodeOptions* options, bool keep, std::vector<uint8_t>* out);

}  // namespace zoq::test
