// Packages the viewer tests open, built with the library's editing API.
#pragma once

#include <QByteArray>
#include <QString>

namespace zoqe_test {

// The 16-byte key of the encrypted part.
QByteArray ViewKey();
// The XML of the SXC-coded parts (valid against the embedded schema).
QByteArray DocumentXml();

// Writes the package into `folder` and returns its path (empty on
// failure). Revision 1 holds:
//   /__ECSEnv/01/Schema.bsg  the binary schema of the SXC parts
//   /doc.xml      SXC            /secret.xml  SXC then ADM (ViewKey)
//   /plain.xml    ZIP: <a><b>x</b><c/></a>
//   /bad.xml      a comment without its end
//   /b.dat        bytes          /notes.txt   text to search
//   /img/small.png 50x20, /img/big.png 2000x1500, /img/pic.psd, /img/pic.jp2
// Revision 2 replaces /plain.xml.
QString BuildViewPackage(const QString& folder);

}  // namespace zoqe_test
