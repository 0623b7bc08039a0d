#include "test_packages.h"

#include <QColor>

#include <memory>
#include <vector>

#include "image_files.h"
#include "window_test_util.h"
#include "zoq/container.h"

namespace zoqe_test {

namespace {

QString SxcData(const char* name) {
  return QStringLiteral(ZOQ_TEST_DATA_DIR "/sxc/") + QString::fromLatin1(name);
}

}  // namespace

QByteArray ViewKey() {
  return QByteArray::fromHex("2b7e151628aed2a6abf7158809cf4f3c");
}

QByteArray DocumentXml() { return ReadFile(SxcData("doc_basic.xml")); }

QByteArray RichXml() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE r [\n  <!ENTITY e \"x>y\">\n  <!-- ] > -->\n]>\n"
         "<r a=\"1>2\" b='say \"hi\"'\tc=\"&lt;\">\n"
         "  <![CDATA[ a < b > c ]] ]]>\n"
         "  <!-- note -->\n"
         "  <?pi data > more?>\n"
         "  <p>Hello <b>world</b> again</p>\n"
         "  <t>\xe4\xb8\xad\xe6\x96\x87 text &e;</t>\n"
         "</r>\n"
         "<!-- after -->\n  \n";
}

QString BuildViewPackage(const QString& folder) {
  const QString path = folder + QStringLiteral("/view.zoq");
  std::unique_ptr<zoq::Container> c = NewPackage(folder, path, 0, 0);
  if (!c) return {};
  if (c->SetSchemaFile(QFile::encodeName(SxcData("doc_basic.bsg")).toStdString()) != 0) return {};

  static QByteArray key_bytes;
  key_bytes = ViewKey();
  static zoq::KeyInfo key;
  key = KeyOf(key_bytes);
  const zoq::EcsCodeArg sxc{zoq::kEcsSxc, nullptr};
  const zoq::EcsCodeArg zip{zoq::kEcsZip, nullptr};
  const zoq::EcsCodeArg adm{zoq::kEcsAdm, &key};

  const QByteArray xml = DocumentXml();
  int failures = 0;
  failures += PutPart(c.get(), u"/__ECSEnv/01/Schema.bsg", ReadFile(SxcData("doc_basic.bsg"))) != 0;
  failures += PutPart(c.get(), u"/doc.xml", xml, {sxc}) != 0;
  failures += PutPart(c.get(), u"/secret.xml", xml, {sxc, adm}) != 0;
  failures += PutPart(c.get(), u"/plain.xml", "<a><b>x</b><c/></a>", {zip}) != 0;
  failures += PutPart(c.get(), u"/bad.xml", "<a><!-- never closed </a>") != 0;
  failures += PutPart(c.get(), u"/b.dat", QByteArray("binary\x01\x02 data", 14)) != 0;
  failures += PutPart(c.get(), u"/notes.txt", "find me\nfind Find\nwhere FINDS\n") != 0;
  failures += PutPart(c.get(), u"/img/small.png", PngBytes(50, 20, Qt::red)) != 0;
  failures += PutPart(c.get(), u"/img/big.png", PngBytes(2000, 1500, Qt::green)) != 0;
  failures += PutPart(c.get(), u"/img/pic.psd",
                  PsdBytes(30, 10, 3, 3, true, QByteArray("\x10\x20\x30", 3))) != 0;
  failures += PutPart(c.get(), u"/img/pic.jp2", Jp2Bytes(40, 30, QColor(1, 2, 3))) != 0;
  QByteArray deep = PsdBytes(4, 4, 3, 3, false, QByteArray("\x10\x20\x30", 3));
  deep[23] = 16;
  failures += PutPart(c.get(), u"/img/deep.psd", deep) != 0;
  failures += PutPart(c.get(), u"/rich.xml", RichXml(), {zip}) != 0;
  failures += PutPart(c.get(), u"/wide.xml", QByteArray("\xff\xfe<\0a\0>\0\x2d\x4e<\0/\0a\0>\0", 18)) != 0;
  failures += PutPart(c.get(), u"/long.txt", QByteArray(3 << 20, 'x'), {zip}) != 0;
  if (failures != 0 || c->Save(zoq::kSaveIncremental, false) != 0) return {};
  const QByteArray plain2("<a><b>y</b></a>");
  if (c->ReplacePartFromMemory(u"/plain.xml", plain2.constData(), plain2.size(), &zip, 1,
                               false) != 0 ||
      c->Save(zoq::kSaveIncremental, false) != 0) {
    return {};
  }
  return path;
}

QString BuildIvPackage(const QString& folder, const QString& name, bool main_part) {
  const QString path = folder + QLatin1Char('/') + name;
  std::unique_ptr<zoq::Container> c = NewPackage(folder, path, 16, 258);
  if (!c) return {};
  const QByteArray key_bytes = ViewKey();
  const zoq::KeyInfo key = KeyOf(key_bytes);
  const zoq::EcsCodeArg adm{zoq::kEcsAdm, &key};
  int failures = PutPart(c.get(), u"/secret.txt", "the secret text, long enough to tell", {adm}) != 0;
  if (main_part) {
    failures += PutPart(c.get(), u"/__main.xml",
                    "<Document SubsetType=\"PLIV_Full\" Version=\"1.2\"/>") != 0;
  }
  if (failures != 0 || c->Save(zoq::kSaveIncremental, false) != 0) return {};
  return path;
}

}  // namespace zoqe_test
