#include "ui/lyric_edit.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

namespace lirotag::ui {

namespace {

// Room at the left of the text for the mark of the line being sung.
constexpr int kMarginWidth = 10;

// Unicode's line and paragraph separators become plain line breaks: shown as breaks,
// they must be lines of the box too, or the commands and the saved file disagree with
// what the user sees.
QString WithPlainLineBreaks(QString text) {
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return text;
}

QString ToEditorText(const std::string& text) {
  QString q = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return WithPlainLineBreaks(q);
}

}  // namespace

QStringList LocalFilesOf(const QMimeData* mime) {
  QStringList paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  }
  return paths;
}

QColor FromColorRef(qint32 colorRef) {
  const quint32 c = static_cast<quint32>(colorRef);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

qint32 ToColorRef(const QColor& colour) {
  return static_cast<qint32>(static_cast<quint32>(colour.red()) |
                             (static_cast<quint32>(colour.green()) << 8) |
                             (static_cast<quint32>(colour.blue()) << 16));
}

LyricEdit::LyricEdit(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName(QStringLiteral("编辑框_歌词"));
  setAccessibleName(tr("歌词"));
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  SetColours(0xFFFFFF, 0, 0xFF);
  BuildContextMenu();
  margin_ = new QWidget(this);
  margin_->setObjectName(QStringLiteral("歌词_演唱标记"));
  margin_->installEventFilter(this);
  setViewportMargins(kMarginWidth, 0, 0, 0);
  connect(this, &QPlainTextEdit::updateRequest, margin_, [this] { margin_->update(); });
}

void LyricEdit::SetSungWord(int line, int begin, int end) {
  if (line == sung_word_line_ && begin == sung_word_begin_ && end == sung_word_end_) return;
  sung_word_line_ = line;
  sung_word_begin_ = begin;
  sung_word_end_ = end;
  RefreshHighlight();
}

void LyricEdit::PutCaretAtLineStart(int line) {
  const QTextBlock block = document()->findBlockByNumber(std::clamp(line, 0, LineCount() - 1));
  QTextCursor cursor(document());
  cursor.setPosition(block.position());
  setTextCursor(cursor);
}

void LyricEdit::SetSungLine(int line) {
  if (line == sung_line_) return;
  sung_line_ = line;
  margin_->update();
}

void LyricEdit::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  const QRect area = contentsRect();
  margin_->setGeometry(area.left(), area.top(), kMarginWidth, area.height());
}

bool LyricEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched != margin_ || event->type() != QEvent::Paint)
    return QPlainTextEdit::eventFilter(watched, event);
  QPainter painter(margin_);
  painter.fillRect(margin_->rect(), palette().color(QPalette::Base));
  const QTextBlock block = document()->findBlockByNumber(sung_line_);
  if (sung_line_ < 0 || !block.isValid() || !block.isVisible()) return true;
  const QRectF line = blockBoundingGeometry(block).translated(contentOffset());
  if (line.bottom() < 0 || line.top() > viewport()->height()) return true;
  // A small triangle pointing at the line, in the highlight colour.
  const double mid = line.top() + std::min(line.height(), fontMetrics().height() * 1.0) / 2;
  QPolygonF mark({QPointF(2, mid - 4), QPointF(kMarginWidth - 2, mid), QPointF(2, mid + 4)});
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x4c, 0xd9, 0x64));
  painter.drawPolygon(mark);
  return true;
}

void LyricEdit::BuildContextMenu() {
  context_menu_ = new QMenu(this);
  context_menu_->setObjectName(QStringLiteral("右键菜单"));
  cut_ = context_menu_->addAction(tr("剪切(&T)"), this, &QPlainTextEdit::cut);
  copy_ = context_menu_->addAction(tr("复制(&C)"), this, &QPlainTextEdit::copy);
  paste_ = context_menu_->addAction(tr("粘贴(&P)"), this, &QPlainTextEdit::paste);
  // Deleting leaves the clipboard as it is.
  context_menu_->addAction(tr("删除(&D)"), this, [this] {
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
  });
  context_menu_->addSeparator();
  context_menu_->addAction(tr("全选(&A)"), this, &QPlainTextEdit::selectAll);
  context_menu_->addSeparator();
  reload_as_ = context_menu_->addMenu(tr("重新载入为"));
  reload_as_->setEnabled(false);
}

void LyricEdit::contextMenuEvent(QContextMenuEvent* event) {
  paste_->setEnabled(canPaste());
  const bool selected = textCursor().hasSelection();
  cut_->setEnabled(selected);
  copy_->setEnabled(selected);
  context_menu_->popup(event->globalPos());
  event->accept();
}

void LyricEdit::SetColours(qint32 background, qint32 normalText, qint32 highlightText) {
  highlight_ = FromColorRef(highlightText);
  QPalette pal = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, FromColorRef(background));
    pal.setColor(group, QPalette::Text, FromColorRef(normalText));
  }
  // Unfocused, the selection is the highlighted range: like a standard edit control, do
  // not paint it, so that the highlight colour is what the user sees.
  pal.setBrush(QPalette::Inactive, QPalette::Highlight, QBrush(Qt::transparent));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText, highlight_);
  setPalette(pal);
  // The user's colours win over a skin's: the application's style sheet would otherwise
  // paint the box in the skin's colours.
  const QString sheet = QStringLiteral("QPlainTextEdit { background-color: %1; color: %2; }")
                            .arg(FromColorRef(background).name(), FromColorRef(normalText).name());
  // A style sheet set again, even the same one, makes Qt style the box anew.
  if (sheet != styleSheet()) setStyleSheet(sheet);
  RefreshHighlight();
}

int LyricEdit::LineCount() const {
  return document()->blockCount();
}

std::string LyricEdit::Line(int n) const {
  const QTextBlock block = document()->findBlockByNumber(n);
  if (!block.isValid()) return {};
  return block.text().toStdString();
}

int LyricEdit::SelectionFirstLine() const {
  return document()->findBlock(textCursor().selectionStart()).blockNumber();
}

int LyricEdit::SelectionLastLine() const {
  return document()->findBlock(textCursor().selectionEnd()).blockNumber();
}

void LyricEdit::SelectLines(int first, int last) {
  const int count = LineCount();
  first = std::clamp(first, 0, count - 1);
  last = std::clamp(last, first, count - 1);
  const QTextBlock firstBlock = document()->findBlockByNumber(first);
  const QTextBlock lastBlock = document()->findBlockByNumber(last);
  // The caret at the start of the range, so that the view shows where the range begins,
  // even when its lines wrap.
  QTextCursor cursor(document());
  cursor.setPosition(lastBlock.position() + lastBlock.length() - 1);
  cursor.setPosition(firstBlock.position(), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
}

void LyricEdit::ReplaceSelection(const std::string& text) {
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.insertText(ToEditorText(text));
  cursor.endEditBlock();
  setTextCursor(cursor);
}

void LyricEdit::SetWholeText(const std::string& text) {
  // Through a cursor rather than setPlainText, so that the change can be undone.
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.select(QTextCursor::Document);
  cursor.insertText(ToEditorText(text));
  cursor.endEditBlock();
  setTextCursor(cursor);
}

void LyricEdit::HighlightLines(int first, int last) {
  highlight_first_ = first;
  highlight_last_ = last;
  RefreshHighlight();
}

void LyricEdit::RefreshHighlight() {
  QList<QTextEdit::ExtraSelection> selections;
  const int count = LineCount();
  if (highlight_first_ <= highlight_last_ && highlight_first_ < count) {
    const QTextBlock firstBlock = document()->findBlockByNumber(std::max(0, highlight_first_));
    const QTextBlock lastBlock =
        document()->findBlockByNumber(std::min(highlight_last_, count - 1));
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(document());
    selection.cursor.setPosition(firstBlock.position());
    selection.cursor.setPosition(lastBlock.position() + lastBlock.length() - 1,
                                 QTextCursor::KeepAnchor);
    selection.format.setForeground(highlight_);
    selections.append(selection);
  }
  const QTextBlock sung = document()->findBlockByNumber(sung_word_line_);
  if (sung_word_line_ >= 0 && sung.isValid() && sung_word_end_ <= sung.length() - 1) {
    QTextEdit::ExtraSelection word;
    word.cursor = QTextCursor(document());
    word.cursor.setPosition(sung.position() + sung_word_begin_);
    word.cursor.setPosition(sung.position() + sung_word_end_, QTextCursor::KeepAnchor);
    word.format.setBackground(QColor(0x4c, 0xd9, 0x64, 110));
    selections.append(word);
  }
  setExtraSelections(selections);
}

int LyricEdit::FirstVisibleLine() const {
  return firstVisibleBlock().blockNumber();
}

void LyricEdit::ScrollLines(int delta) {
  // In a plain-text edit the vertical scroll bar counts lines, so this moves the view
  // without touching the caret or the selection.
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() + delta);
}

bool LyricEdit::HasFocus() const {
  return hasFocus();
}

void LyricEdit::SetFocus() {
  setFocus(Qt::OtherFocusReason);
}

void LyricEdit::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
    emit FocusGained();
}

void LyricEdit::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
    emit FocusLost();
}

void LyricEdit::keyPressEvent(QKeyEvent* event) {
  // The editor's soft line break (Shift+Enter) looks like a new line but is none: every
  // command would take both parts as one line, and saving would write U+2028 into the
  // file. Break the line for real, as Enter does.
  if (event->matches(QKeySequence::InsertLineSeparator) && !isReadOnly()) {
    QTextCursor cursor = textCursor();
    cursor.insertBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void LyricEdit::insertFromMimeData(const QMimeData* source) {
  if (source && source->hasText()) {
    QMimeData lines;
    lines.setText(WithPlainLineBreaks(source->text()));
    QPlainTextEdit::insertFromMimeData(&lines);
    return;
  }
  QPlainTextEdit::insertFromMimeData(source);
}

void LyricEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFilesOf(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
    return;
  }
  QPlainTextEdit::dragEnterEvent(event);
}

void LyricEdit::dragMoveEvent(QDragMoveEvent* event) {
  if (!LocalFilesOf(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
    return;
  }
  QPlainTextEdit::dragMoveEvent(event);
}

void LyricEdit::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalFilesOf(event->mimeData());
  if (!paths.isEmpty()) {
    event->acceptProposedAction();
    emit FilesDropped(paths);
    return;
  }
  QPlainTextEdit::dropEvent(event);
}

}  // namespace lirotag::ui
