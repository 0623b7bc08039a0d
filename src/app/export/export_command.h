// The two export commands of the main window: "导出文件" writes the selected
// folders and parts decoded, "导出包内数据" writes them as stored with ".zoqf"
// appended. Both ask for a target folder, recreate the folder structure
// below it and report the outcome once.
#pragma once

#include <QString>

#include <cstdint>
#include <QStringList>

#include <vector>

#include "zoq/extract_job.h"
#include "zoq/path_node.h"

namespace zoqe {

class CZOQEDlg;
struct TreeItem;

// One selected list row: its name and node (null when the row is "..",
// when its name could not stand as a file name, or when it has vanished).
struct ExportEntry {
  QString name;
  zoq::PathNode* node = nullptr;
};

// How writing a selection went.
struct ExportOutcome {
  size_t failed = 0;       // items not written whole
  bool cancelled = false;  // stopped from the progress dialog
  int64_t parts_written = 0;
  int64_t parts_failed = 0;
  std::vector<bool> item_failed;
  // Parts written from stored data that fails its check byte (as read).
  QStringList damaged;
};

// Writes `items` of `window`'s package at history version `version` into
// `folder` (raw: as stored, ".zoqf" appended), as every export does: parts
// are written off the window's thread while a progress dialog for long
// selections keeps the window alive; the package file is never written over.
ExportOutcome ExportItems(CZOQEDlg* window, const std::vector<zoq::ExtractItem>& items,
                          zoq::OutputFolder& folder, int version, bool raw,
                          unsigned folder_mode);

// The package folder whose children the list shows for `item`.
QString ListFolderPath(const TreeItem* item);

// The list rows selected in `window`, in list order.
std::vector<ExportEntry> SelectedListEntries(const CZOQEDlg& window, const TreeItem* item);

// The export command (raw: "导出包内数据").
void RunExport(CZOQEDlg* window, bool raw);

// Makes `window`'s export commands work and lets parts be dragged out of
// its lists.
void InstallExport(CZOQEDlg* window);

}  // namespace zoqe
