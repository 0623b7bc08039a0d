// Writes decoder events as XML text in UTF-8: the declaration, then the whole
// document on one line, explicit end tags, the five escapes in text and
// attribute values, numbers without trailing zeros.
#pragma once

#include <functional>
#include <string>

#include "sxc/file_stream.h"
#include "sxc/xml_event_sink.h"

namespace zoq {

class XmlWriter : public XmlEventSink {
 public:
  // Writes to `file` (not owned). A null file makes every operation a no-op.
  explicit XmlWriter(CFileStream* file);
  // Writes into `text` (not owned), replacing it at StartDocument.
  explicit XmlWriter(std::string* text);
  // Hands the text to `output` in pieces of about 64 KiB as it is produced
  // (the last at EndDocument). Once `output` answers false nothing more is
  // produced and ok() answers false.
  using TextOutput = std::function<bool(const char* bytes, size_t count)>;
  explicit XmlWriter(TextOutput output);
  ~XmlWriter() override;

  // Reserves room for text of that size when writing into a string, so that
  // a long document is not copied as it grows.
  void ExpectTextSize(size_t bytes) override;
  size_t BytesWritten() const override { return spilled_ + out_.size(); }
  void StartDocument() override;
  void EndDocument() override;
  void StartElement(const char16_t* name) override;
  void EndElement(const char16_t* name) override;
  void StartAttribute(const char16_t* name) override;
  void EndAttribute() override;
  void WriteDouble(double value) override;
  void WriteInt(int32_t value) override;
  void WriteBool(bool value) override;
  void WriteAsciiText(const char* text, ptrdiff_t length) override;
  void WriteText(const char16_t* text, ptrdiff_t length) override;
  bool AcceptsUtf8Text() const override { return true; }
  void WriteUtf8Text(const char* text, size_t length) override;

  // False once a write to the file or the output failed.
  bool ok() const { return ok_; }

 private:
  bool HasOutput() const { return ok_ && (file_ != nullptr || text_ != nullptr || output_); }
  void CloseStartTag();
  void AppendName(const char16_t* name);
  void AppendEscapedUtf8(const char* text, size_t length);
  void MaybeSpill();
  void Spill();

  CFileStream* file_ = nullptr;
  std::string* text_ = nullptr;
  TextOutput output_;
  std::string buffer_;  // pending output for the file or `output_`
  std::string& out_;
  size_t spilled_ = 0;  // bytes handed to the file or `output_`
  bool start_tag_open_ = false;
  bool in_attribute_ = false;
  bool ok_ = true;
};

// The text that WriteDouble produces: fixed notation with six decimals, then
// trailing zeros and a trailing dot removed. Non-finite values are written
// as INF, -INF and NaN.
std::string FormatDouble(double value);

}  // namespace zoq
