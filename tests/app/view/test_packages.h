// Packages the viewer tests open, built with the library's editing API.
#pragma once

#include <QByteArray>
#include <QString>

namespace zoqe_test {

// The 16-byte key of the encrypted part.
QByteArray ViewKey();
// The XML of the SXC-coded parts (valid against the embedded schema).
QByteArray DocumentXml();
// XML with every construct the layout must carry over untouched: a DOCTYPE
// with an internal subset, quoted ">" and quotes, CDATA holding "<", ">"
// and "]]", comments, an instruction, mixed content, multibyte text and
// white space after the root element.
QByteArray RichXml();

// Writes the package into `folder` and returns its path (empty on
// failure). Revision 1 holds:
//   /__ECSEnv/01/Schema.bsg  the binary schema of the SXC parts
//   /doc.xml      SXC            /secret.xml  SXC then ADM (ViewKey)
//   /plain.xml    ZIP: <a><b>x</b><c/></a>
//   /bad.xml      a comment without its end
//   /b.dat        bytes          /notes.txt   text to search
//   /img/small.png 50x20, /img/big.png 2000x1500, /img/pic.psd, /img/pic.jp2
//   /img/deep.psd  a PSD with 16-bit samples
//   /rich.xml     ZIP: RichXml()   /wide.xml    UTF-16 XML
//   /long.txt     one line of 3 MB
// Revision 2 replaces /plain.xml.
QString BuildViewPackage(const QString& folder);

// A version 1.1 package `name` of document version 1.2, so that its ADM
// data starts with the 16-byte IV header: /secret.txt (ADM, ViewKey()) and,
// with `main_part`, a /__main.xml that says the version.
QString BuildIvPackage(const QString& folder, const QString& name, bool main_part);

}  // namespace zoqe_test
