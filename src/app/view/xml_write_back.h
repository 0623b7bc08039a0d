// Storing an edited part back into the package: the new content becomes a
// new version of the part, encoded with the ECS codes of its current
// version (ADM with the entered key).
#pragma once

#include <QByteArray>
#include <QString>

#include "zoq/container.h"

namespace zoqe {

// 0, or the code of the failure (the package is left as it was).
int StorePartContent(zoq::Container* package, const QString& part_path,
                     const QByteArray& content, const zoq::KeyInfo* key);

// What the user is told when StorePartContent fails with `code`.
QString StoreFailureText(int code, bool sxc_coded);

// The bytes to store for an edited text: UTF-16 little-endian after the
// mark FF FE when the part was loaded that way, else UTF-8.
QByteArray EditedTextBytes(const QByteArray& utf8, bool was_utf16);

}  // namespace zoqe
