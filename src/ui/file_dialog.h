#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

class QWidget;

namespace lirotag::ui {

struct FileDialogOptions {
  bool save = false;
  QWidget* owner = nullptr;
  // Display names and pattern lists, each followed by '|' except the last:
  // "LRC歌词|*.LRC|所有文件|*.*".
  std::string filter;
  std::string title;          // empty: the dialog's own
  std::string initialFolder;  // empty: the dialog's own choice
  // A save dialog's proposal, folder and name; it wins over initialFolder.
  std::string initialFile;
  std::string defaultExtension;
  bool showHidden = false;
};

// The program's one open/save dialog. True and the chosen path when the user confirms;
// false and an empty path when the dialog is cancelled. `type`, when given, receives the
// display name of the filter entry chosen. Choosing an entry of one "*.ext" pattern makes
// "ext" the extension added to a name typed without one.
bool FileDialog(const FileDialogOptions& options, std::string* path, std::string* type = nullptr);

// The '|' filter text as Qt name filters, in the same order. Patterns match without
// regard to case, as they do on the systems the filter texts were written for.
QStringList ToQtNameFilters(const std::string& filter);

// Test hook: the next dialog is not shown; it returns this path (an empty optional
// stands for Cancel) and the filter entry named `type` (empty: the first), and records
// the options it was given.
void SetNextFileDialogResult(std::optional<std::string> path, std::string type = {});
const FileDialogOptions& LastFileDialogOptions();

}  // namespace lirotag::ui
