#pragma once

#include <QPlainTextEdit>
#include <QStringList>

#include "lyrics/lyric_box.h"

namespace lirotag::ui {

// The local files named by a drag (empty when it carries none).
QStringList LocalFilesOf(const QMimeData* mime);

// A stored COLORREF (0x00BBGGRR) as a Qt colour.
QColor FromColorRef(qint32 colorRef);
qint32 ToColorRef(const QColor& colour);

// The lyric edit box: a plain-text editor whose lines are text blocks (wrapping is only
// display). The highlighted lines are drawn as an extra selection, so colouring never
// edits the document and never enters the undo history.
class LyricEdit : public QPlainTextEdit, public LyricBox {
  Q_OBJECT

 public:
  explicit LyricEdit(QWidget* parent = nullptr);

  void SetColours(qint32 background, qint32 normalText, qint32 highlightText);
  QColor HighlightColour() const { return highlight_; }
  // The lines shown in the highlight colour; first > last when none.
  int HighlightFirst() const { return highlight_first_; }
  int HighlightLast() const { return highlight_last_; }
  // The line being sung, marked in the box's left margin (-1: none). Only drawn: the
  // caret, the selection and the undo history stay as they are.
  void SetSungLine(int line);
  int SungLine() const { return sung_line_; }
  // The word being sung, characters [begin, end) of `line`, shown on a light green ground
  // (line -1: none). Drawn like the highlight, never written into the text.
  void SetSungWord(int line, int begin, int end);
  // The caret at the start of `line` (kept inside the text), nothing selected, in view.
  void PutCaretAtLineStart(int line);
  // The right-button menu: cut, copy, paste, delete, select all, "重新载入为".
  QMenu* ContextMenu() const { return context_menu_; }
  // Its submenu for reading the loaded file again in another encoding: empty and
  // disabled here; what loads files fills it and enables it.
  QMenu* ReloadAsMenu() const { return reload_as_; }

  // LyricBox
  int LineCount() const override;
  std::string Line(int n) const override;
  int SelectionFirstLine() const override;
  int SelectionLastLine() const override;
  void SelectLines(int first, int last) override;
  void ReplaceSelection(const std::string& text) override;
  void SetWholeText(const std::string& text) override;
  void HighlightLines(int first, int last) override;
  int FirstVisibleLine() const override;
  void ScrollLines(int delta) override;
  bool HasFocus() const override;
  void SetFocus() override;

 signals:
  // The box's focus given or taken by the user; not when a menu opens over it or the
  // whole window goes to the background and back, which leave the selection alone.
  void FocusGained();
  void FocusLost();
  // Files dropped on the box belong to the window (songs and lyric files), not to the
  // text: the box does not insert their names.
  void FilesDropped(const QStringList& paths);

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RefreshHighlight();
  void BuildContextMenu();

  QColor highlight_{Qt::red};
  int highlight_first_ = 0;
  int highlight_last_ = -1;
  QMenu* context_menu_ = nullptr;
  QWidget* margin_ = nullptr;
  int sung_line_ = -1;
  int sung_word_line_ = -1, sung_word_begin_ = 0, sung_word_end_ = 0;
  QMenu* reload_as_ = nullptr;
  QAction* cut_ = nullptr;
  QAction* copy_ = nullptr;
  QAction* paste_ = nullptr;
};

}  // namespace lirotag::ui
