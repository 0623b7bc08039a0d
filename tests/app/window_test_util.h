// Helpers shared by the tests that drive the main window: corpus packages,
// finding tree items by name and reading a part's whole content.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

#include "app/package_tree_model.h"
#include "zoq/container.h"

namespace zoqe_test {

inline QString Corpus(const char* name) {
  return QStringLiteral(ZOQ_TEST_DATA_DIR "/package/") + QString::fromLatin1(name);
}

// The child of `parent` named `name`; null when there is none (or no parent).
inline zoqe::TreeItem* Child(zoqe::TreeItem* parent, const QString& name) {
  if (!parent) return nullptr;
  for (auto& child : zoqe::PackageTreeModel::ChildrenOf(parent)) {
    if (child->name == name) return child.get();
  }
  return nullptr;
}

// The item at a path of names below `root` ("img/small.png").
inline zoqe::TreeItem* ItemAt(zoqe::TreeItem* root, const QString& path) {
  zoqe::TreeItem* item = root;
  for (const QString& name : path.split(QLatin1Char('/'))) item = Child(item, name);
  return item;
}

// The content of the part at `version` (0: the newest); false when the
// package cannot hand it out.
inline bool ReadWholePart(zoq::Container* package, const std::u16string& path, int version,
                          const zoq::DecodeOptions* options, QByteArray* out) {
  int64_t length = 0;
  if (package->ReadPart(path, nullptr, &length, version, options) != 0) return false;
  out->resize(static_cast<qsizetype>(length));
  if (package->ReadPart(path, out->data(), &length, version, options) != 0) return false;
  out->resize(static_cast<qsizetype>(length));
  return true;
}

}  // namespace zoqe_test
