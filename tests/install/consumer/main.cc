// A program outside the project, built against an installed library: makes
// a package with a compressed part and a binary XML part (coded with the
// installed schemas), reopens it and reads both back.
//
//   consumer SCRATCH_FOLDER SCHEMA_FOLDER DOCUMENT.xml
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "zoq/container.h"
#include "zoq/error_table.h"
#include "zoq/utf.h"

namespace {

bool Check(int code, const char* what) {
  if (code == zoq::kOk) return true;
  const char* text = zoq::PackageErrorText(code);
  std::fprintf(stderr, "consumer: %s failed: %d %s\n", what, code, text ? text : "");
  return false;
}

std::unique_ptr<zoq::Container> MakeContainer(const std::string& scratch,
                                              const std::string& schemas) {
  zoq::ContainerOptions options;
  options.resource_dir = scratch;
  options.schema_dir = schemas;
  options.temp_base_dir = scratch;
  zoq::Container* raw = nullptr;
  if (!Check(zoq::CreateContainer(&options, &raw), "CreateContainer")) return nullptr;
  return std::unique_ptr<zoq::Container>(raw);
}

bool ReadBack(zoq::Container* container, const std::u16string& path, std::string* out) {
  int64_t length = 0;
  if (!Check(container->ReadPart(path, nullptr, &length, 0, nullptr), "ReadPart")) return false;
  out->resize(static_cast<size_t>(length));
  return Check(container->ReadPart(path, out->data(), &length, 0, nullptr), "ReadPart");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: consumer SCRATCH_FOLDER SCHEMA_FOLDER DOCUMENT.xml\n");
    return 2;
  }
  const std::string scratch = argv[1];
  const std::string package = scratch + "/made.pliv";
  std::ifstream in(argv[3], std::ios::binary);
  const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string text = "a part stored by a program outside the project\n";

  auto writer = MakeContainer(scratch, argv[2]);
  const zoq::EcsCodeArg zip[] = {{zoq::kEcsZip, nullptr}};
  const zoq::EcsCodeArg sxc[] = {{zoq::kEcsSxc, nullptr}};
  if (!writer || xml.empty() ||
      !Check(writer->CreatePackage(package, 16, 258, 4, 0), "CreatePackage") ||
      !Check(writer->AddPartFromMemory(zoq::Utf8ToUtf16Lenient("/notes/read me.txt"), text.data(),
                                       static_cast<int64_t>(text.size()), zip, 1, false),
             "adding the text") ||
      !Check(writer->AddPartFromMemory(u"/Document.xml", xml.data(),
                                       static_cast<int64_t>(xml.size()), sxc, 1, false),
             "adding the document") ||
      !Check(writer->Save(zoq::kSaveIncremental, false), "Save")) {
    return 1;
  }
  writer.reset();

  auto reader = MakeContainer(scratch, argv[2]);
  std::string read_text;
  std::string read_xml;
  if (!reader || !Check(reader->OpenFile(package, true), "OpenFile") ||
      !ReadBack(reader.get(), u"/notes/read me.txt", &read_text) ||
      !ReadBack(reader.get(), u"/Document.xml", &read_xml)) {
    return 1;
  }
  if (read_text != text || read_xml.find("<title>ZOQ") == std::string::npos ||
      reader->GetPathKind(u"/notes/") != zoq::kPathFolder || reader->GetRevisionCount() != 1) {
    std::fprintf(stderr, "consumer: the package read back differs from what was stored\n");
    return 1;
  }
  std::printf("consumer: stored and read back %zu + %zu bytes\n", text.size(), read_xml.size());
  return 0;
}
