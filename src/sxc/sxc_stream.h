// The decorator that converts between SXC binary XML (the stored form) and
// XML text (the content). It works on whole documents: reading decodes the
// stored document at the first read and serves the XML text from memory;
// writing keeps every written byte and encodes the whole text on Flush or
// Close. Each conversion passes through two temporary files, created
// exclusively under unique names in the temporary directory and deleted
// when the conversion ends.
#pragma once

#include <memory>
#include <string>

#include "stream/stream_decorator.h"

namespace zoq {

class SchemaCodec;

// How a read through the stream is held to a decoding budget, and where it
// says why it failed.
struct SxcReadLimits {
  int64_t stored_size = 0;  // the size the budget is tied to; 0: the document's
  int64_t max_output = 0;   // a caller's text limit; 0: the budget's
  DecodeReport* report = nullptr;
};

class CVelSXCStream : public CVelStreamDecorator {
 public:
  // Takes over `inner`. `temp_dir` empty: $TMPDIR or /tmp. Throws
  // std::runtime_error when a path is empty ("CVelSXCStream -- Cannot
  // Decorate Stream - Argument path is empty!"), when the schema file cannot
  // be opened ("CFileStream -- Cannot open file!") or is not a valid schema
  // ("CVelSXCStream -- Cannot Decorate Stream - Init filter error!"). A
  // document past its decoding budget fails the read with 6008.
  CVelSXCStream(Stream*& inner, const std::string& schema_path, const std::string& temp_dir,
                const SxcReadLimits& limits = {});
  ~CVelSXCStream() override;

  int GetType() override { return kSxcStream; }
  Stream* Clone() override;

  void Reset() override;
  Status Decode() override;
  Status Encode(bool final) override;
  bool BuffersWholeContent() override { return true; }
  bool AllowsOverwrite() override { return true; }

  const std::string& schema_path() const { return schema_path_; }
  const std::string& temp_dir() const { return temp_dir_; }

 private:
  void ShowContent();

  std::string schema_path_;
  std::string temp_dir_;  // ends with '/'
  SxcReadLimits limits_;
  std::unique_ptr<SchemaCodec> codec_;
  std::unique_ptr<uint8_t[]> content_;
  int64_t content_size_ = 0;
};

}  // namespace zoq
