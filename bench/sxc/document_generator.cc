#include "document_generator.h"

#include <random>

namespace zoq::bench {
namespace {

const char* const kWords[] = {
    "package", "revision", "schema",  "stream",  "binary",   "document", "section", "figure",
    "table",   "value",    "element", "content", "structure", "the",     "of",      "and",
    "to",      "in",       "for",     "with",    "a",        "is",       "data",    "model",
    "storage", "reader",   "writer",  "format",  "version",  "index",    "record",  "part"};

class Writer {
 public:
  explicit Writer(unsigned seed) : random_(seed) {}

  std::string Generate(size_t target) {
    out_.reserve(target + 4096);
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out_ += "<document id=\"doc1\" version=\"1.1\" lang=\"en\" draft=\"false\">\n";
    out_ += "  <metadata><title>Generated report</title><author>Bench</author>"
            "<created>2024-05-06T10:00:00Z</created><revision>12</revision></metadata>\n";
    int section = 0;
    while (out_.size() < target) Section(++section, 1);
    out_ += "  <appendix label=\"A\"><heading>Notes</heading><para>End.</para></appendix>\n";
    out_ += "</document>\n";
    return std::move(out_);
  }

 private:
  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  void Words(int count) {
    for (int i = 0; i < count; ++i) {
      if (i > 0) out_ += ' ';
      out_ += kWords[Pick(32)];
    }
  }
  void Para() {
    out_ += "    <para";
    if (Pick(4) == 0) out_ += " align=\"justify\"";
    out_ += ">";
    Words(8 + Pick(20));
    for (int k = Pick(4); k > 0; --k) {
      switch (Pick(4)) {
        case 0:
          out_ += " <em>";
          Words(2);
          out_ += "</em> ";
          break;
        case 1:
          out_ += " <strong>";
          Words(1);
          out_ += "</strong> ";
          break;
        case 2:
          out_ += " <code>x &lt; " + std::to_string(Pick(100)) + "</code> ";
          break;
        default:
          out_ += " <link href=\"http://example.org/" + std::to_string(Pick(1000)) + "\">";
          Words(2);
          out_ += "</link> ";
      }
      Words(3 + Pick(10));
    }
    out_ += ".</para>\n";
  }
  void List() {
    out_ += "    <list ordered=\"" + std::string(Pick(2) ? "true" : "false") + "\">";
    for (int i = 3 + Pick(5); i > 0; --i) {
      out_ += "<item>";
      Words(3 + Pick(6));
      out_ += "</item>";
    }
    out_ += "</list>\n";
  }
  void Table() {
    out_ += "    <table border=\"true\" width=\"" + std::to_string(50 + Pick(50)) + ".5\"><caption>";
    Words(3);
    out_ += "</caption>";
    for (int r = 5 + Pick(10); r > 0; --r) {
      out_ += "<row><text>";
      Words(1);
      out_ += "</text><number unit=\"mm\" precision=\"2\">" + std::to_string(Pick(100000)) + "." +
              std::to_string(Pick(100)) + "</number><integer>" + std::to_string(Pick(1000000) - 500000) +
              "</integer><flag>" + (Pick(2) ? "true" : "false") + "</flag></row>";
    }
    out_ += "</table>\n";
  }
  void Section(int number, int level) {
    out_ += "  <section id=\"s" + std::to_string(number) + "_" + std::to_string(level) + "\" level=\"" +
            std::to_string(level) + "\" numbered=\"true\"><heading>";
    Words(4);
    out_ += "</heading>\n";
    for (int block = 6 + Pick(8); block > 0; --block) {
      const int kind = Pick(10);
      if (kind < 6) {
        Para();
      } else if (kind < 8) {
        List();
      } else if (kind < 9) {
        Table();
      } else {
        out_ += "    <figure src=\"/images/img" + std::to_string(Pick(500)) + ".png\" width=\"640\" height=\"480\">"
                "<caption>Figure</caption></figure>\n";
      }
    }
    if (level < 3 && Pick(3) == 0) Section(number, level + 1);
    out_ += "  </section>\n";
  }

  std::mt19937 random_;
  std::string out_;
};

}  // namespace

std::string GenerateDocument(size_t approximate_bytes, unsigned seed) {
  return Writer(seed).Generate(approximate_bytes);
}

}  // namespace zoq::bench
