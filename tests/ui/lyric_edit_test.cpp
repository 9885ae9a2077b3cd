#include "ui/lyric_edit.h"

#include <QClipboard>
#include <QTextBlock>
#include <QtTest>

using lirotag::ui::LyricEdit;

class LyricEditTest : public QObject {
  Q_OBJECT

 private slots:
  void linesAreTextBlocks() {
    LyricEdit edit;
    QCOMPARE(edit.LineCount(), 1);
    QCOMPARE(edit.Line(0), std::string());
    edit.SetWholeText("[00:01.00]第一行\r\n第二行\r\n\r\nlast");
    QCOMPARE(edit.LineCount(), 4);
    QCOMPARE(edit.Line(0), std::string("[00:01.00]第一行"));
    QCOMPARE(edit.Line(2), std::string());
    QCOMPARE(edit.Line(3), std::string("last"));
    QCOMPARE(edit.Line(9), std::string());
    QCOMPARE(lirotag::GetLyricText(edit), std::string("[00:01.00]第一行\r\n第二行\r\n\r\nlast"));
  }

  // Every line the user sees must be a line of the box: the commands count lines, and
  // a line separator saved into an LRC file would be no line break for its readers.
  void everyVisibleLineIsALine() {
    LyricEdit edit;
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(&edit, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    QGuiApplication::clipboard()->setText(QStringLiteral("c\u2028d\u2029e"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(lirotag::GetLyricText(edit), std::string("ab\r\n\r\nc\r\nd\r\ne"));
    edit.SetWholeText("1\u20282");
    edit.SelectLines(1, 1);
    edit.ReplaceSelection("x\u2029y\u2028z");
    QCOMPARE(lirotag::GetLyricText(edit), std::string("1\r\nx\r\ny\r\nz"));
  }

  void wrappingDoesNotSplitLines() {
    LyricEdit edit;
    edit.resize(120, 200);
    edit.show();
    edit.SetWholeText(std::string(400, 'x') + "\nend");
    QCOMPARE(edit.LineCount(), 2);
    QCOMPARE(edit.Line(0).size(), size_t(400));
  }

  void selectionIsCountedInWholeLines_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    // Text "ab\ncd\nef": line starts at 0, 3, 6.
    QTest::newRow("caret only") << 4 << 4 << 1 << 1;
    QTest::newRow("middle to middle") << 1 << 7 << 0 << 2;
    QTest::newRow("ends at a line start") << 0 << 3 << 0 << 1;
    QTest::newRow("backwards") << 7 << 1 << 0 << 2;
  }

  void selectionIsCountedInWholeLines() {
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, first);
    QFETCH(int, last);
    LyricEdit edit;
    edit.SetWholeText("ab\ncd\nef");
    QTextCursor cursor(edit.document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    QCOMPARE(edit.SelectionFirstLine(), first);
    QCOMPARE(edit.SelectionLastLine(), last);
  }

  void selectLinesStopsBeforeTheLineBreak() {
    LyricEdit edit;
    edit.SetWholeText("ab\ncd\nef");
    edit.SelectLines(0, 1);
    QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("ab\u2029cd"));
    edit.SelectLines(2, 2);
    QCOMPARE(edit.textCursor().selectedText(), QStringLiteral("ef"));
    edit.SelectLines(-3, 99);  // clamped to the text
    QCOMPARE(edit.SelectionFirstLine(), 0);
    QCOMPARE(edit.SelectionLastLine(), 2);
  }

  void replacingTheSelectionIsOneUndoStep() {
    LyricEdit edit;
    edit.SetWholeText("a\nb\nc");
    edit.SelectLines(1, 1);
    edit.ReplaceSelection("[00:01.00]b\r\n[00:02.00]b");
    QCOMPARE(lirotag::GetLyricText(edit), std::string("a\r\n[00:01.00]b\r\n[00:02.00]b\r\nc"));
    edit.undo();
    QCOMPARE(lirotag::GetLyricText(edit), std::string("a\r\nb\r\nc"));
  }

  void highlightingDoesNotTouchTheDocument() {
    LyricEdit edit;
    edit.SetColours(0xFFFFFF, 0x000000, 0x0000FF);
    edit.SetWholeText("a\nbb\nc");
    const bool undoBefore = edit.document()->isUndoAvailable();
    const int revision = edit.document()->revision();
    edit.HighlightLines(1, 1);
    QCOMPARE(edit.document()->revision(), revision);
    QCOMPARE(edit.document()->isUndoAvailable(), undoBefore);
    const QList<QTextEdit::ExtraSelection> selections = edit.extraSelections();
    QCOMPARE(selections.size(), 1);
    QCOMPARE(selections[0].cursor.selectedText(), QStringLiteral("bb"));
    QCOMPARE(selections[0].format.foreground().color(), QColor(255, 0, 0));
    edit.HighlightLines(1, 0);
    QVERIFY(edit.extraSelections().isEmpty());
  }

  void coloursComeFromColorRefs() {
    LyricEdit edit;
    edit.SetColours(0x00FF8000, 0x00000080, 0x0000FF00);  // 0x00BBGGRR
    QCOMPARE(edit.palette().color(QPalette::Base), QColor(0x00, 0x80, 0xFF));
    QCOMPARE(edit.palette().color(QPalette::Text), QColor(0x80, 0x00, 0x00));
    QCOMPARE(edit.HighlightColour(), QColor(0x00, 0xFF, 0x00));
  }

  void scrollingLeavesTheCaretAlone() {
    LyricEdit edit;
    edit.resize(200, 100);
    edit.show();
    QString text;
    for (int i = 0; i < 50; ++i) text += QStringLiteral("line %1\n").arg(i);
    edit.SetWholeText(text.toStdString());
    edit.SelectLines(0, 0);
    const int caret = edit.textCursor().position();
    edit.ScrollLines(3);
    QCOMPARE(edit.FirstVisibleLine(), 3);
    edit.ScrollLines(-1);
    QCOMPARE(edit.FirstVisibleLine(), 2);
    QCOMPARE(edit.textCursor().position(), caret);
  }
};

QTEST_MAIN(LyricEditTest)
#include "lyric_edit_test.moc"
