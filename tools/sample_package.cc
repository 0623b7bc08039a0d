#include "sample_package.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "zoq/container.h"
#include "zoq/utf.h"

namespace zoq::tools {
namespace {

void PutBigEndian32(uint32_t v, std::vector<uint8_t>* out) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(const char type[4], const std::vector<uint8_t>& data, std::vector<uint8_t>* out) {
  PutBigEndian32(static_cast<uint32_t>(data.size()), out);
  const size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  const uLong crc = crc32(0, out->data() + start, static_cast<uInt>(out->size() - start));
  PutBigEndian32(static_cast<uint32_t>(crc), out);
}

// One step of the plan, with the line it came from.
struct Step {
  int line = 0;
  std::vector<std::string> words;
};

bool ReadPlan(const std::string& path, std::vector<Step>* steps, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read the plan " + path;
    return false;
  }
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    std::istringstream words(text);
    Step step;
    step.line = line;
    for (std::string word; words >> word;) step.words.push_back(word);
    if (step.words.empty() || step.words[0][0] == '#') continue;
    steps->push_back(std::move(step));
  }
  return true;
}

// The ECS codes of a CODES word; the keys live in `keys`, which must not
// move while the codes are used.
bool ParseCodes(const std::string& text, std::vector<EcsCodeArg>* codes,
                std::vector<std::unique_ptr<KeyInfo>>* keys,
                std::vector<std::unique_ptr<std::string>>* key_bytes) {
  codes->clear();
  if (text == "plain") return true;
  std::istringstream list(text);
  for (std::string name; std::getline(list, name, ',');) {
    EcsCodeArg code;
    if (name == "sxc") {
      code.code = kEcsSxc;
    } else if (name == "zip") {
      code.code = kEcsZip;
    } else if (name.rfind("adm=", 0) == 0 && name.size() > 4) {
      key_bytes->push_back(std::make_unique<std::string>(name.substr(4)));
      auto key = std::make_unique<KeyInfo>();
      key->key = reinterpret_cast<const uint8_t*>(key_bytes->back()->data());
      key->key_length = static_cast<int>(key_bytes->back()->size());
      code.code = kEcsAdm;
      code.key = key.get();
      keys->push_back(std::move(key));
    } else {
      return false;
    }
    codes->push_back(code);
  }
  return !codes->empty();
}

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::vector<uint8_t> MakePicture(int width, int height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian32(static_cast<uint32_t>(width), &header);
  PutBigEndian32(static_cast<uint32_t>(height), &header);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  PutChunk("IHDR", header, &png);
  // Rows of filter byte 0 and RGB pixels: a diagonal gradient with rings.
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < width; ++x) {
      const int dx = x - width / 2, dy = y - height / 2;
      const int ring = (dx * dx + dy * dy) / 64 % 2;
      raw.push_back(static_cast<uint8_t>(40 + 200 * x / std::max(1, width - 1)));
      raw.push_back(static_cast<uint8_t>(ring ? 180 : 90));
      raw.push_back(static_cast<uint8_t>(40 + 200 * y / std::max(1, height - 1)));
    }
  }
  std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
  uLongf packed_size = static_cast<uLongf>(packed.size());
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
    return {};
  }
  packed.resize(packed_size);
  PutChunk("IDAT", packed, &png);
  PutChunk("IEND", {}, &png);
  return png;
}

bool BuildSamplePackage(const std::string& plan_path, const std::string& resource_dir,
                        const std::string& output, const SamplePlan& plan, std::string* error) {
  std::vector<Step> steps;
  if (!ReadPlan(plan_path, &steps, error)) return false;
  const std::string sources = Folder(plan_path);

  ContainerOptions options;
  options.resource_dir = resource_dir;
  Container* raw = nullptr;
  int code = CreateContainer(&options, &raw);
  if (code != kOk) {
    *error = "cannot make a container (" + std::to_string(code) + ")";
    return false;
  }
  std::unique_ptr<Container> container(raw);
  unlink(output.c_str());
  code = container->CreatePackage(output, plan.subset_kind, plan.version_code, 4, 0);
  if (code != kOk) {
    *error = "cannot create " + output + " (" + std::to_string(code) + ")";
    return false;
  }

  std::vector<std::unique_ptr<KeyInfo>> keys;
  std::vector<std::unique_ptr<std::string>> key_bytes;
  bool saved = true;
  for (const Step& step : steps) {
    const std::vector<std::string>& w = step.words;
    const std::string& verb = w[0];
    auto fail = [&](const std::string& what) {
      *error = plan_path + ":" + std::to_string(step.line) + ": " + what;
      return false;
    };
    std::u16string path;
    if (w.size() >= 2 && !Utf8ToUtf16Strict(w[1], &path)) return fail("the path is not UTF-8");
    std::vector<EcsCodeArg> codes;
    const EcsCodeArg* code_data = nullptr;
    if ((verb == "add" || verb == "replace" || verb == "append" || verb == "picture") &&
        w.size() == (verb == "picture" ? 5u : 4u)) {
      if (!ParseCodes(w.back(), &codes, &keys, &key_bytes)) return fail("bad codes " + w.back());
      code_data = codes.empty() ? nullptr : codes.data();
    }
    const int count = static_cast<int>(codes.size());
    if (verb == "save" && w.size() == 1) {
      code = container->Save(kSaveIncremental, false);
      saved = true;
    } else if (verb == "delete" && w.size() == 2) {
      code = container->DeletePart(path);
      saved = false;
    } else if ((verb == "add" || verb == "replace" || verb == "append") && w.size() == 4) {
      const std::string file = sources + "/" + w[2];
      if (access(file.c_str(), R_OK) != 0) return fail("cannot read " + file);
      if (verb == "add") {
        code = container->AddPartFromFile(path, file, code_data, count, false);
      } else if (verb == "replace") {
        code = container->ReplacePartFromFile(path, file, code_data, count, false);
      } else {
        code = container->AppendToPartFromFile(path, file, code_data, count);
      }
      saved = false;
    } else if (verb == "picture" && w.size() == 5) {
      const int width = std::atoi(w[2].c_str()), height = std::atoi(w[3].c_str());
      if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return fail("bad size");
      const std::vector<uint8_t> png = MakePicture(width, height);
      if (png.empty()) return fail("cannot make the picture");
      code = container->AddPartFromMemory(path, png.data(), static_cast<int64_t>(png.size()),
                                          code_data, count, false);
      saved = false;
    } else {
      return fail("unknown step");
    }
    if (code != kOk) return fail(verb + " failed (" + std::to_string(code) + ")");
  }
  if (!saved) {
    code = container->Save(kSaveIncremental, false);
    if (code != kOk) {
      *error = "the last save failed (" + std::to_string(code) + ")";
      return false;
    }
  }
  code = container->Close();
  if (code != kOk) {
    *error = "closing " + output + " failed (" + std::to_string(code) + ")";
    return false;
  }
  return true;
}

}  // namespace zoq::tools
