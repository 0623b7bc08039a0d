// The two export commands of the main window: "导出文件" writes the selected
// folders and parts decoded, "导出包内数据" writes them as stored with ".zoqf"
// appended. Both ask for a target folder, recreate the folder structure
// below it and report the outcome once.
#pragma once

#include <QString>

#include <vector>

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
