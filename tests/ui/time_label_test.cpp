#include "ui/time_label.h"

#include <QtTest>

using lirotag::ui::TimeLabel;

// The time label draws a time from glyphs laid out once; what the user sees must be
// what a QLabel would have shown, in every font the window may give it.
class TimeLabelTest : public QObject {
  Q_OBJECT

  static QImage Shown(QLabel& label, const QString& text) {
    label.setText(text);
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

 private slots:
  void drawsWhatALabelDraws_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    QTest::addColumn<int>("align");
    QTest::addColumn<QString>("skin");
    QTest::newRow("time") << "01:05.23" << QString() << 9.0 << 0 << QString();
    QTest::newRow("three-point, coloured")
        << "59:59.999" << QString() << 9.0 << 0 << "QLabel { color: #1f5fbf; }";
    QTest::newRow("slowed") << "00:07.10 \u00d70.75" << QString() << 9.0 << 0
                            << "QWidget { background-color: #25282c; color: #e3e6e8; }";
    QTest::newRow("shrunk CJK font") << "12:34.56"
                                     << "Noto Sans CJK SC" << 7.25 << 0 << QString();
    QTest::newRow("serif, right") << "-0:01.50"
                                  << "Noto Serif CJK SC" << 10.5
                                  << int(Qt::AlignRight | Qt::AlignVCenter) << QString();
    QTest::newRow("centred, top") << "00:00.00" << QString() << 12.0
                                  << int(Qt::AlignHCenter | Qt::AlignTop) << QString();
    QTest::newRow("caption") << "跳转到01:02.00" << QString() << 9.0 << 0 << QString();
    QTest::newRow("no file") << "(无文件)"
                             << "Noto Sans CJK SC" << 9.0 << 0 << "QLabel { color: #1f5fbf; }";
  }
  void drawsWhatALabelDraws() {
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    QFETCH(int, align);
    QFETCH(QString, skin);
    QWidget window;
    window.setStyleSheet(skin);
    window.resize(200, 60);
    TimeLabel quick(&window);
    QLabel plain(&window);
    for (QLabel* label : {static_cast<QLabel*>(&quick), &plain}) {
      QFont font = label->font();
      if (!family.isEmpty()) font.setFamily(family);
      font.setPointSizeF(points);
      label->setFont(font);
      label->setGeometry(4, 4, 120, 18);
      if (align != 0) label->setAlignment(Qt::Alignment(align));
    }
    plain.setAutoFillBackground(true);
    window.show();
    const QImage expected = Shown(plain, text);
    QCOMPARE(Shown(quick, text), expected);
    // A second time from the glyphs kept, and again after a change of font.
    QCOMPARE(Shown(quick, text), expected);
    QFont bigger = quick.font();
    bigger.setPointSizeF(points + 2);
    quick.setFont(bigger);
    plain.setFont(bigger);
    QCOMPARE(Shown(quick, text), Shown(plain, text));
  }

  // A text wider than the label is drawn whole in a smaller size of its font, as a
  // QLabel given that size would draw it; a text that fits keeps the label's own size.
  void aTextTooWideIsDrawnWholeInASmallerFont_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("time") << "59:59.999 \u00d70.75";
    QTest::newRow("caption") << "跳转到59:58.000";
  }
  void aTextTooWideIsDrawnWholeInASmallerFont() {
    QFETCH(QString, text);
    QWidget window;
    window.resize(200, 60);
    TimeLabel quick(&window);
    QLabel plain(&window);
    for (QLabel* label : {static_cast<QLabel*>(&quick), &plain}) {
      QFont font = label->font();
      font.setPointSizeF(11);
      label->setFont(font);
      label->setGeometry(4, 4, 80, 18);
    }
    plain.setAutoFillBackground(true);
    window.show();
    quick.setText(QStringLiteral("00:00.00"));
    QCOMPARE(quick.ShownFont(), quick.font());
    quick.setText(text);
    const QFont shown = quick.ShownFont();
    QCOMPARE_LT(shown.pointSizeF(), quick.font().pointSizeF());
    QCOMPARE_LE(QFontMetrics(shown).horizontalAdvance(text), 80);
    // The largest that holds it.
    QFont larger = shown;
    larger.setPointSizeF(shown.pointSizeF() + 0.25);
    QCOMPARE_GT(QFontMetrics(larger).horizontalAdvance(text), 80);
    plain.setFont(shown);
    QCOMPARE(Shown(quick, text), Shown(plain, text));
  }

  // Ten times a second while a song plays: a new time repaints the label alone, not
  // the window behind it.
  void aNewTimeRepaintsNothingBehind() {
    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
      }
    } window_paints, label_paints;
    QWidget window;
    window.resize(200, 60);
    TimeLabel label(&window);
    label.setGeometry(4, 4, 120, 18);
    label.setText(QStringLiteral("00:00.00"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.installEventFilter(&window_paints);
    label.installEventFilter(&label_paints);
    for (const char* time : {"00:00.10", "00:00.20", "00:00.30"}) {
      label.setText(QString::fromLatin1(time));
      QTRY_COMPARE(label_paints.paints, 1);
      label_paints.paints = 0;
    }
    QCOMPARE(window_paints.paints, 0);
  }
};

QTEST_MAIN(TimeLabelTest)
#include "time_label_test.moc"
