#include "ui/file_dialog.h"

#include <QFileDialog>

namespace lirotag::ui {

namespace {

bool has_next_result = false;
std::optional<std::string> next_result;
std::string next_type;
FileDialogOptions last_options;

// "*.mp3" also as "*.MP3", so that files named either way show on case-sensitive systems.
QStringList CaseVariants(const QString& pattern) {
  QStringList out{pattern};
  for (const QString& variant : {pattern.toLower(), pattern.toUpper()}) {
    if (!out.contains(variant)) out.append(variant);
  }
  return out;
}

// The display names of the '|' filter text, in order.
QStringList FilterNames(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList names;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) names.append(parts[i]);
  return names;
}

// "ext" for an entry whose first pattern is "*.ext", else empty.
QString PatternExtension(const std::string& filter, qsizetype entry) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  if (entry < 0 || 2 * entry + 1 >= parts.size()) return {};
  const QString first = parts[2 * entry + 1].split(QLatin1Char(';')).first().trimmed();
  if (!first.startsWith(QLatin1String("*.")) || first.size() < 3) return {};
  const QString ext = first.mid(2);
  if (ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?'))) return {};
  return ext.toLower();
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

void SetNextFileDialogResult(std::optional<std::string> path, std::string type) {
  has_next_result = true;
  next_result = std::move(path);
  next_type = std::move(type);
}

const FileDialogOptions& LastFileDialogOptions() {
  return last_options;
}

bool FileDialog(const FileDialogOptions& options, std::string* path, std::string* type) {
  last_options = options;
  path->clear();
  const QStringList names = FilterNames(options.filter);
  if (type) type->clear();
  if (has_next_result) {
    has_next_result = false;
    if (!next_result) return false;
    *path = *next_result;
    if (type)
      *type = !next_type.empty() || names.isEmpty() ? next_type : names.first().toStdString();
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
  const QStringList qtFilters = dialog.nameFilters();
  // The dialog names an entry by its Qt filter or, with the details hidden, by its name.
  const auto entryOf = [&](const QString& chosen) {
    const qsizetype i = qtFilters.indexOf(chosen);
    return i >= 0 ? i : names.indexOf(chosen);
  };
  // A name typed without extension gets the chosen type's.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& chosen) {
    const QString ext = PatternExtension(options.filter, entryOf(chosen));
    dialog.setDefaultSuffix(ext.isEmpty() ? QString::fromStdString(options.defaultExtension) : ext);
  });

  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return false;
  *path = files.first().toStdString();
  const qsizetype chosen = entryOf(dialog.selectedNameFilter());
  if (type && chosen >= 0 && chosen < names.size()) *type = names[chosen].toStdString();
  return true;
}

}  // namespace lirotag::ui
