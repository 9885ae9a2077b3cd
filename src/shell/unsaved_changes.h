#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

class QLabel;
class QTextDocument;
class QWidget;

namespace lirotag {

// Whether the lyric text holds work that is in no file yet (any edit, command, load or
// restore since the last save), shown in a label of the window with the lyric file's
// name; and the question asked before such text is given up (closing the window, another
// file loaded over it).
class UnsavedChanges : public QObject {
  Q_OBJECT

 public:
  // How long "已保存：NAME" stays before the label shows the file again.
  static constexpr int kSavedNoticeMs = 4000;

  enum class Outcome {
    Nothing,    // nothing was unsaved
    Saved,      // the user chose to save, and it worked
    GivenUp,    // the user chose not to save
    Cancelled,  // keep everything as it is (also a save that failed or was cancelled)
  };

  // `save` saves as "保存歌词" does and tells whether the text is now in a file.
  UnsavedChanges(QTextDocument* document, QWidget* window, QLabel* label,
                 std::function<bool()> save, QObject* parent = nullptr);

  bool Any() const;
  // The text is in `path` now: nothing unsaved, and the label says so for a moment.
  void MarkSaved(const std::string& path);
  // The text came from `path`: the label names it (the loaded text still counts as
  // unsaved: the file may be in another encoding or hold other line breaks).
  void MarkLoaded(const std::string& path);
  // The lyric file the text was last loaded from or saved to; empty when none.
  const std::string& FilePath() const { return file_; }

  // Before the text is given up: asks "歌词尚未保存，是否保存？" when there is unsaved work.
  Outcome AskBeforeGivingUp();

 private:
  void ShowState();

  QTextDocument* document_;
  QWidget* window_;
  QLabel* label_;
  std::function<bool()> save_;
  std::string file_;
  QTimer notice_;
};

}  // namespace lirotag
