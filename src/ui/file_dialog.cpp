#include "ui/file_dialog.h"

#include <QFileDialog>

namespace lirotag::ui {

namespace {

bool has_next_result = false;
std::optional<std::string> next_result;
FileDialogOptions last_options;

// "*.mp3" also as "*.MP3", so that files named either way show on case-sensitive systems.
QStringList CaseVariants(const QString& pattern) {
  QStringList out{pattern};
  for (const QString& variant : {pattern.toLower(), pattern.toUpper()}) {
    if (!out.contains(variant)) out.append(variant);
  }
  return out;
}

}  // namespace

QStringList ToQtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& name = parts[i];
    QStringList patterns;
    for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      pattern = pattern.trimmed();
      // Where the filter texts come from, "*.*" matches every file, a name without a
      // dot too; here it would hide such files ("README", "track01").
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
      for (const QString& variant : CaseVariants(pattern)) {
        if (!patterns.contains(variant)) patterns.append(variant);
      }
    }
    // Qt reads the patterns from the last parentheses; the dialog hides them again, so
    // the user sees the display name as written.
    filters.append(name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')'));
  }
  return filters;
}

void SetNextFileDialogResult(std::optional<std::string> path) {
  has_next_result = true;
  next_result = std::move(path);
}

const FileDialogOptions& LastFileDialogOptions() {
  return last_options;
}

bool FileDialog(const FileDialogOptions& options, std::string* path) {
  last_options = options;
  path->clear();
  if (has_next_result) {
    has_next_result = false;
    if (!next_result) return false;
    *path = *next_result;
    return true;
  }

  QFileDialog dialog(options.owner);
  dialog.setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(options.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (!options.filter.empty()) dialog.setNameFilters(ToQtNameFilters(options.filter));
  if (!options.title.empty()) dialog.setWindowTitle(QString::fromStdString(options.title));
  if (!options.initialFolder.empty())
    dialog.setDirectory(QString::fromStdString(options.initialFolder));
  if (!options.initialFile.empty()) dialog.selectFile(QString::fromStdString(options.initialFile));
  if (!options.defaultExtension.empty())
    dialog.setDefaultSuffix(QString::fromStdString(options.defaultExtension));
  if (options.showHidden) dialog.setFilter(dialog.filter() | QDir::Hidden);

  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  *path = files.first().toStdString();
  return true;
}

}  // namespace lirotag::ui
