#include "sxc/schema_codec.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "sxc/decode_budget.h"
#include "sxc/decoder.h"
#include "sxc/file_stream.h"
#include "sxc/schema_stream_loader.h"
#include "sxc/sxc_encoder.h"
#include "zoq/utf.h"
#include "sxc/xml_writer.h"

namespace zoq {
namespace {

constexpr size_t kInitialScratchUnits = 1024;

// Forwards decoded nodes to an XmlEventSink by name; text values reach it as
// UTF-8 or, converted in the codec's scratch buffer, as UTF-16.
class SinkAdapter : public DecodedEvents {
 public:
  SinkAdapter(XmlEventSink* sink, SchemaCodec* codec)
      : sink_(sink), codec_(codec), utf8_(sink->AcceptsUtf8Text()) {}

  void ExpectSize(size_t structure_bytes, size_t value_bytes, size_t most_text) override {
    // Values appear about as long as text as they are stored; each
    // structure byte stands for a few tags. An overestimate costs only
    // address space, and never more than the text may take.
    constexpr size_t kMarkupPerStructureByte = 24;
    if (structure_bytes < SIZE_MAX / kMarkupPerStructureByte / 2 && value_bytes < SIZE_MAX / 2) {
      sink_->ExpectTextSize(
          std::min(value_bytes + structure_bytes * kMarkupPerStructureByte + 4096, most_text));
    }
  }
  size_t OutputSize() const override { return sink_->BytesWritten(); }
  void StartDocument() override { sink_->StartDocument(); }
  void EndDocument() override { sink_->EndDocument(); }
  void StartElement(const SchemaNode& e) override { sink_->StartElement(e.name.c_str()); }
  void EndElement(const SchemaNode& e) override { sink_->EndElement(e.name.c_str()); }
  void StartAttribute(const SchemaNode& a) override { sink_->StartAttribute(a.name.c_str()); }
  void EndAttribute(const SchemaNode&) override { sink_->EndAttribute(); }
  void Bool(bool value) override { sink_->WriteBool(value); }
  void Int(int32_t value) override { sink_->WriteInt(value); }
  void Double(double value) override { sink_->WriteDouble(value); }
  void Text(const char* utf8, size_t length) override {
    if (utf8_) {
      sink_->WriteUtf8Text(utf8, length);
      return;
    }
    converted_.clear();
    AppendUtf8ToUtf16Lenient(std::string_view(utf8, length), &converted_);
    char16_t* buffer = codec_->Scratch(converted_.size() + 1);
    std::copy(converted_.begin(), converted_.end(), buffer);
    buffer[converted_.size()] = 0;
    if (!converted_.empty()) sink_->WriteText(buffer, -1);
  }

 private:
  XmlEventSink* sink_;
  SchemaCodec* codec_;
  bool utf8_;
  std::u16string converted_;
};

bool SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

}  // namespace

std::unique_ptr<SchemaCodec> SchemaCodec::Create(const std::string& path, std::string* error) {
  CFileStream file(path, false);  // may throw: the caller learns the file is missing
  std::shared_ptr<const BinarySchema> schema;
  if (!LoadSchemaFromStream(file, &schema, error)) return nullptr;
  return std::make_unique<SchemaCodec>(std::move(schema));
}

SchemaCodec::SchemaCodec(std::shared_ptr<const BinarySchema> schema)
    : schema_(std::move(schema)), scratch_(kInitialScratchUnits) {}

SchemaCodec::~SchemaCodec() = default;

char16_t* SchemaCodec::Scratch(size_t units) {
  if (units > scratch_.size()) {
    scratch_.clear();
    scratch_.resize((units + 7) / 8 * 8);
  }
  return scratch_.data();
}

bool SchemaCodec::DecodeDocument(const uint8_t* data, size_t size, XmlEventSink* sink,
                                 std::string* error) {
  if (schema_ == nullptr) return SetError(error, "no schema is loaded");
  if (sink == nullptr) return SetError(error, "no output");
  SinkAdapter adapter(sink, this);
  SxcDecoder decoder(*schema_, &adapter, SxcDecodeBudget(stored_ != 0 ? stored_ : size, max_output_));
  const bool ok = decoder.Decode(data, size, error);
  limit_reached_ = decoder.LimitReached();
  return ok;
}

bool SchemaCodec::DecodeToString(const uint8_t* data, size_t size, std::string* xml,
                                 std::string* error) {
  XmlWriter writer(xml);
  if (DecodeDocument(data, size, &writer, error)) return true;
  xml->clear();
  return false;
}

bool SchemaCodec::DecodeToOutput(const uint8_t* data, size_t size, const TextOutput& output,
                                 std::string* error) {
  XmlWriter writer(output);
  if (!DecodeDocument(data, size, &writer, error)) return false;
  writer.EndDocument();
  return writer.ok() || SetError(error, "cannot write the XML text");
}

bool SchemaCodec::DecodeFile(const std::string& source, const std::string& target, std::string* error) {
  if (schema_ == nullptr) return SetError(error, "no schema is loaded");
  limit_reached_ = false;
  try {
    std::vector<uint8_t> bytes;
    {
      CFileStream in(source, false);
      const int64_t size = in.Size();
      // A document that grew out of smaller stored bytes (through an
      // inflating code beneath) is held to the budget of those bytes.
      const size_t most = SxcDecodeBudget(stored_ != 0 ? stored_ : static_cast<uint64_t>(size),
                                          max_output_).inflated;
      if (size < 0 || static_cast<uint64_t>(size) > most) {
        limit_reached_ = size >= 0;
        return SetError(error, "the document takes more than " + std::to_string(most) +
                                   " bytes, its decoding limit");
      }
      bytes.resize(static_cast<size_t>(size));
      size_t got = 0;
      if (in.Read(bytes.data(), bytes.size(), &got) != 0) {
        return SetError(error, "cannot read " + source);
      }
    }
    CFileStream out(target, true);
    if (!out.Reset()) return SetError(error, "cannot write " + target);
    bool ok;
    {
      XmlWriter writer(&out);
      ok = DecodeDocument(bytes.data(), bytes.size(), &writer, error);
      writer.EndDocument();
      if (ok && !writer.ok()) ok = SetError(error, "cannot write " + target);
    }
    if (!ok) out.Reset();
    return ok;
  } catch (const std::runtime_error&) {
    return SetError(error, "cannot open " + source + " or " + target);
  } catch (const std::bad_alloc&) {
    return SetError(error, "out of memory");
  }
}

bool SchemaCodec::EncodeDocument(const char* xml, size_t size, std::vector<uint8_t>* sxc,
                                 EncodeReport* report) {
  EncodeReport local;
  EncodeReport* r = report != nullptr ? report : &local;
  if (schema_ == nullptr) {
    r->reason = "no schema is loaded";
    return false;
  }
  SxcEncoder encoder(*schema_, r);
  return encoder.EncodeBuffer(xml, size, sxc);
}

bool SchemaCodec::EncodeFile(const std::string& xml_path, const std::string& output_path,
                             EncodeReport* report) {
  EncodeReport local;
  EncodeReport* r = report != nullptr ? report : &local;
  if (schema_ == nullptr || xml_path.empty() || output_path.empty()) {
    r->reason = schema_ == nullptr ? "no schema is loaded" : "no path given";
    return false;
  }
  std::vector<uint8_t> sxc;
  SxcEncoder encoder(*schema_, r);
  if (!encoder.EncodeFile(xml_path, &sxc)) return false;
  try {
    CFileStream out(output_path, true);
    if (!out.Reset() || out.Write(sxc.data(), sxc.size()) != 0 || !out.Flush()) {
      r->reason = "cannot write " + output_path;
      return false;
    }
  } catch (const std::runtime_error&) {
    r->reason = "cannot open " + output_path;
    return false;
  }
  return true;
}

}  // namespace zoq
