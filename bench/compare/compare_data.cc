// Deterministic data for the side-by-side comparison (bench/compare):
//
//   compare_data text FILE BYTES SEED         prose-like text
//   compare_data tree DIR FILES BYTES SEED    FILES text and XML-like files of
//                                             BYTES in total, 100 per folder
//   compare_data xml FILE BYTES SEED          an XML document of the bundled
//                                             document model
//
// The text is made of words from a fixed vocabulary drawn with a skewed
// distribution, in sentences and lines, so that zlib compresses it about
// 3-6 times, like ordinary documents. The same arguments always give the
// same bytes.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../sxc/document_generator.h"

namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, bound).
  uint32_t Below(uint32_t bound) { return static_cast<uint32_t>((Next() >> 32) % bound); }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

 private:
  uint64_t state_;
};

class TextMaker {
 public:
  explicit TextMaker(uint64_t seed) : random_(seed) {
    static const char* kSyllables[] = {
        "ka", "ri", "to", "me", "lan", "so", "vi", "der", "un", "pa", "lo", "ne", "ste", "ar",
        "mo", "ti", "qua", "ber", "sil", "en", "gra", "po", "lu", "che", "dis", "or", "fe", "ban",
        "ice", "tor", "um", "sa", "ge", "no", "ly", "ent", "ma", "col", "ver", "im"};
    const uint32_t kCount = sizeof kSyllables / sizeof kSyllables[0];
    Random words(7);
    for (int i = 0; i < 700; ++i) {
      std::string word;
      int syllables = 1 + static_cast<int>(words.Below(4));
      for (int s = 0; s < syllables; ++s) word += kSyllables[words.Below(kCount)];
      vocabulary_.push_back(word);
    }
  }

  // A word: frequent words come up far more often than rare ones.
  const std::string& Word() {
    double u = random_.Unit();
    return vocabulary_[static_cast<size_t>(u * u * u * u * static_cast<double>(vocabulary_.size()))];
  }

  // Appends lines of sentences until `out` holds at least `bytes` more.
  void Prose(std::string* out, size_t bytes) {
    const size_t end = out->size() + bytes;
    size_t line_start = out->size();
    while (out->size() < end) {
      int length = 4 + static_cast<int>(random_.Below(14));
      for (int w = 0; w < length; ++w) {
        std::string word = Word();
        if (w == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
        if (random_.Below(100) == 0) word = std::to_string(random_.Below(1000));
        out->append(word);
        if (w + 1 < length) {
          if (random_.Below(12) == 0) out->push_back(',');
          if (out->size() - line_start > 72) {
            out->push_back('\n');
            line_start = out->size();
          } else {
            out->push_back(' ');
          }
        }
      }
      out->append(random_.Below(5) == 0 ? ".\n\n" : ". ");
      if (out->back() == '\n') line_start = out->size();
    }
  }

  // Appends XML-like markup around sentences until `out` holds at least
  // `bytes` more.
  void Markup(std::string* out, size_t bytes) {
    const size_t end = out->size() + bytes;
    out->append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document>\n");
    int id = 0;
    while (out->size() < end) {
      out->append("  <section id=\"s" + std::to_string(++id) + "\">\n    <title>");
      Prose(out, 20);
      out->append("</title>\n");
      int paragraphs = 1 + static_cast<int>(random_.Below(5));
      for (int p = 0; p < paragraphs; ++p) {
        out->append("    <para style=\"body\" lang=\"en\">");
        Prose(out, 80 + random_.Below(600));
        out->append("</para>\n");
      }
      out->append("  </section>\n");
    }
    out->append("</document>\n");
  }

  Random& random() { return random_; }

 private:
  Random random_;
  std::vector<std::string> vocabulary_;
};

bool WriteAll(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

int Text(const std::string& path, uint64_t bytes, uint64_t seed) {
  TextMaker maker(seed);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 1;
  std::string chunk;
  uint64_t written = 0;
  while (written < bytes) {
    chunk.clear();
    maker.Prose(&chunk, 1 << 20);
    size_t take = static_cast<size_t>(std::min<uint64_t>(chunk.size(), bytes - written));
    if (std::fwrite(chunk.data(), 1, take, file) != take) {
      std::fclose(file);
      return 1;
    }
    written += take;
  }
  return std::fclose(file) == 0 ? 0 : 1;
}

int Tree(const std::string& root, uint64_t files, uint64_t bytes, uint64_t seed) {
  TextMaker maker(seed);
  if (!MakeFolder(root)) return 1;
  const uint64_t average = files == 0 ? 0 : bytes / files;
  std::string content;
  for (uint64_t i = 0; i < files; ++i) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "/d%03u", static_cast<unsigned>(i / 100));
    if (i % 100 == 0 && !MakeFolder(root + folder)) return 1;
    // Sizes spread from a tenth of the average to almost twice it.
    size_t size = static_cast<size_t>(average / 10 + maker.random().Below(
                                                         static_cast<uint32_t>(average * 18 / 10) + 1));
    content.clear();
    bool xml = i % 3 == 0;
    if (xml) {
      maker.Markup(&content, size);
    } else {
      maker.Prose(&content, size);
    }
    content.resize(size);
    char name[48];
    std::snprintf(name, sizeof name, "/part%05u.%s", static_cast<unsigned>(i), xml ? "xml" : "txt");
    if (!WriteAll(root + folder + name, content)) return 1;
  }
  return 0;
}

int Xml(const std::string& path, uint64_t bytes, uint64_t seed) {
  return WriteAll(path, zoq::bench::GenerateDocument(static_cast<size_t>(bytes),
                                                     static_cast<unsigned>(seed)))
             ? 0
             : 1;
}

uint64_t Number(const char* text) { return std::strtoull(text, nullptr, 10); }

}  // namespace

int main(int argc, char** argv) {
  std::string kind = argc > 1 ? argv[1] : "";
  int result = 2;
  if (kind == "text" && argc == 5) {
    result = Text(argv[2], Number(argv[3]), Number(argv[4]));
  } else if (kind == "tree" && argc == 6) {
    result = Tree(argv[2], Number(argv[3]), Number(argv[4]), Number(argv[5]));
  } else if (kind == "xml" && argc == 5) {
    result = Xml(argv[2], Number(argv[3]), Number(argv[4]));
  } else {
    std::fprintf(stderr,
                 "usage: compare_data text FILE BYTES SEED\n"
                 "       compare_data tree DIR FILES BYTES SEED\n"
                 "       compare_data xml FILE BYTES SEED\n");
    return 2;
  }
  if (result != 0) std::fprintf(stderr, "compare_data: cannot write %s\n", argv[2]);
  return result;
}
