#include "shell/main_window.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "audio/audio_engine.h"
#include "audio/player.h"
#include "files/file_io.h"
#include "lirotag_version.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::testing::ReadAll;
using lirotag::testing::WriteAll;
using lirotag::ui::MessageBox;

namespace {

// Whole lines only: "Encoding=2.9" left unrewritten must not pass for "Encoding=2".
bool HasLine(const std::string& ini, const std::string& line) {
  return ("\r\n" + ini).find("\r\n" + line + "\r\n") != std::string::npos;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  QTemporaryDir& dir_ = f_.dir;

  QString IniPath() const { return f_.IniPath(); }
  std::unique_ptr<MainWindow> MakeWindow() { return f_.MakeWindow(); }

 private slots:
  void init() { QFile::remove(IniPath()); }
  void cleanup() {
    f_.player.Free();
    MessageBox::ClearNextAnswer();
  }

  void controlsHaveTheirCaptionsAndPlaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    struct Row {
      const char* name;
      const char* caption;
      const char* parent;
      QRect geometry;
    } rows[] = {
        {"按钮_打开歌曲", "打开", "分组框_播放控制", {12, 20, 64, 24}},
        {"按钮_播放暂停", "播放(&P)", "分组框_播放控制", {76, 20, 64, 24}},
        {"按钮_关闭歌曲", "关闭", "分组框_播放控制", {140, 20, 64, 24}},
        {"滑块条_音量", "", "分组框_播放控制", {204, 20, 96, 24}},
        {"分组框_歌词", "歌词", "窗口_启动窗口", {9, 64, 98, 104}},
        {"按钮_载入文本", "从文件载入", "分组框_歌词", {8, 16, 80, 24}},
        {"按钮_设置附加信息", "设置附加信息", "分组框_歌词", {8, 44, 80, 24}},
        {"按钮_保存歌词", "保存歌词", "分组框_歌词", {8, 72, 80, 24}},
        {"分组框_对选中部分", "对选中部分", "窗口_启动窗口", {9, 171, 98, 187}},
        {"按钮_删除时间标签", "删除标签(&D)", "分组框_对选中部分", {8, 16, 80, 24}},
        {"按钮_替换标签", "替换标签(&R)", "分组框_对选中部分", {8, 44, 80, 24}},
        {"按钮_加入标签", "加入标签(&A)", "分组框_对选中部分", {8, 72, 80, 24}},
        {"按钮_拆分标签", "拆分标签", "分组框_对选中部分", {8, 100, 80, 24}},
        {"按钮_按时间排序", "按时间排序", "分组框_对选中部分", {8, 128, 80, 24}},
        {"按钮_跳到进度", "跳到进度", "分组框_对选中部分", {8, 156, 80, 24}},
        {"分组框_对全部", "对全部", "窗口_启动窗口", {9, 362, 98, 104}},
        {"按钮_整合偏移", "整合偏移值", "分组框_对全部", {8, 15, 80, 24}},
        {"按钮_删除空行", "删除空行", "分组框_对全部", {8, 43, 80, 24}},
        {"按钮_折叠相同文本", "折叠相同文本", "分组框_对全部", {8, 71, 80, 24}},
        {"标签_当前时间", "(无文件)", "窗口_启动窗口", {9, 469, 96, 16}},
        {"标签_总时间", "(无文件)", "窗口_启动窗口", {9, 485, 96, 16}},
        {"按钮_设置", "设置", "窗口_启动窗口", {17, 503, 80, 24}},
        {"按钮_快捷键", "快捷键", "窗口_启动窗口", {17, 531, 80, 24}},
        {"按钮_关于", "关于", "窗口_启动窗口", {17, 559, 80, 24}},
    };
    for (const Row& r : rows) {
      QTest::newRow(r.name) << QString::fromUtf8(r.name) << QString::fromUtf8(r.caption)
                            << QString::fromUtf8(r.parent) << r.geometry;
    }
  }

  void controlsHaveTheirCaptionsAndPlaces() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    auto window = MakeWindow();
    window->show();
    QWidget* control = window->findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
    if (auto* button = qobject_cast<QPushButton*>(control)) QCOMPARE(button->text(), caption);
    if (auto* group = qobject_cast<QGroupBox*>(control)) QCOMPARE(group->title(), caption);
    if (auto* label = qobject_cast<QLabel*>(control)) QCOMPARE(label->text(), caption);
    QVERIFY(control->isVisible());
  }

  void startsAtDesignSizeWithTitle() {
    auto window = MakeWindow();
    window->show();
    QCOMPARE(window->windowTitle(), QStringLiteral("Lirotag " LIROTAG_VERSION));
    QCOMPARE(window->size(), QSize(580, 630));
    QCOMPARE(window->minimumSize(), QSize(580, 630));
    auto* volume = window->findChild<QSlider*>(QStringLiteral("滑块条_音量"));
    QCOMPARE(volume->maximum(), 100);
    QCOMPARE(volume->value(), 100);
    QCOMPARE(volume->accessibleName(), QStringLiteral("音量"));
    QCOMPARE(window->lyricEdit()->accessibleName(), QStringLiteral("歌词"));
  }

  void layoutFollowsTheWindowSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("design") << QSize(580, 630) << QSize(580, 630);
    QTest::newRow("larger") << QSize(800, 900) << QSize(800, 900);
    QTest::newRow("smaller is refused") << QSize(300, 200) << QSize(580, 630);
    QTest::newRow("narrower only") << QSize(500, 700) << QSize(580, 700);
  }

  void layoutFollowsTheWindowSize() {
    QFETCH(QSize, size);
    QFETCH(QSize, expected);
    auto window = MakeWindow();
    window->show();
    window->resize(size);
    QCOMPARE(window->size(), expected);
    const int w = expected.width();
    const int h = expected.height();
    QCOMPARE(window->findChild<QWidget*>(QStringLiteral("分组框_播放控制"))->geometry(),
             QRect(8, 4, w - 20, 56));
    QCOMPARE(window->findChild<QWidget*>(QStringLiteral("滑块条_进度"))->geometry(),
             QRect(300, 20, w - 328, 24));
    QCOMPARE(window->lyricEdit()->geometry(), QRect(120, 70, w - 132, h - 80));
    // Nothing else moves.
    QCOMPARE(window->findChild<QWidget*>(QStringLiteral("按钮_关于"))->geometry(),
             QRect(17, 559, 80, 24));
    QCOMPARE(window->findChild<QWidget*>(QStringLiteral("分组框_对全部"))->geometry(),
             QRect(9, 362, 98, 104));
  }

  // The layout assumes Windows group boxes: the frame's top line runs through the
  // middle of the title and the first control sits below it. Drawn otherwise, the line
  // cuts through the first button of every group. A skin that leaves group boxes alone,
  // chosen before the window is up or while it is, changes none of that.
  void groupTitlesSitOnTheFrame() {
    const auto unskin = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    const QString skin = "QPushButton { color: #000080; } QWidget { font-size: 9pt; }";
    for (const auto& [before, later] : {std::pair<QString, QString>(), {skin, {}}, {{}, skin}}) {
      qApp->setStyleSheet(before);
      auto window = MakeWindow();
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      if (!later.isEmpty()) qApp->setStyleSheet(later);
      for (QGroupBox* group : window->findChildren<QGroupBox*>()) {
        const QImage image = group->grab().toImage();
        const int x = group->width() - 12;  // right of the title
        auto hasText = [&](int y) {
          for (int i = 0; i < x; ++i)
            if (image.pixelColor(i, y).lightness() < 100) return true;
          return false;
        };
        // The frame's top line is the first row at x that is not background; the title,
        // the first rows that hold text.
        int frame = 0, top = 0;
        while (frame < image.height() &&
               std::abs(qGray(image.pixel(x, frame)) - qGray(image.pixel(x, 0))) <= 8)
          ++frame;
        while (top < image.height() && !hasText(top)) ++top;
        int bottom = top;
        while (bottom + 1 < image.height() && hasText(bottom + 1)) ++bottom;
        QCOMPARE_LT(top, frame);
        QCOMPARE_LT(frame, bottom);
        for (QWidget* control : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
          QVERIFY2(control->y() > frame, qPrintable(control->objectName()));
      }
    }
  }

  void tabOrderEndsInTheLyricBox() {
    auto window = MakeWindow();
    window->show();
    const char* order[] = {"按钮_打开歌曲",     "按钮_播放暂停",     "按钮_关闭歌曲",
                           "滑块条_音量",       "滑块条_进度",       "按钮_载入文本",
                           "按钮_设置附加信息", "按钮_保存歌词",     "按钮_删除时间标签",
                           "按钮_替换标签",     "按钮_加入标签",     "按钮_拆分标签",
                           "按钮_按时间排序",   "按钮_跳到进度",     "按钮_整合偏移",
                           "按钮_删除空行",     "按钮_折叠相同文本", "按钮_设置",
                           "按钮_快捷键",       "按钮_关于",         "编辑框_歌词"};
    QWidget* w = window->findChild<QWidget*>(QString::fromUtf8(order[0]));
    for (size_t i = 1; i < std::size(order); ++i) {
      w = w->nextInFocusChain();
      while (w->focusPolicy() == Qt::NoFocus || !w->isVisible()) w = w->nextInFocusChain();
      QCOMPARE(w->objectName(), QString::fromUtf8(order[i]));
    }
  }

  void tooltipsAreTheDesignedTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tip");
    QTest::newRow("open") << "按钮_打开歌曲"
                          << "选择一个音乐文件";
    QTest::newRow("close") << "按钮_关闭歌曲"
                           << "关闭打开的文件";
    QTest::newRow("progress") << "滑块条_进度"
                              << "控制播放进度";
    QTest::newRow("load") << "按钮_载入文本"
                          << "从TXT文本或LRC歌词文件读入";
    QTest::newRow("info") << "按钮_设置附加信息"
                          << "设置LRC歌词的附加信息\n[ti:] [ar:] [al:] [by:]";
    QTest::newRow("save") << "按钮_保存歌词"
                          << "保存到.LRC文件";
    QTest::newRow("delete")
        << "按钮_删除时间标签"
        << "去除选中文本前，最左边的时间标签\n例如：\n“[33:44.55][00:11.22]Content”\n"
           "处理后变成\n“[00:11.22]Content”";
    QTest::newRow("replace")
        << "按钮_替换标签"
        << "用当前时间替换选中文本前的所有时间标签\n例如，当前播放到第1分05秒，那么\n"
           "“[33:44.55][00:11.22]Content”\n处理后变成\n“[01:05.00]Content”";
    QTest::newRow("add")
        << "按钮_加入标签"
        << "把当前时间标签插入到选中文本前\n例如，当前播放到第1分05秒，那么\n“[33:44.55]["
           "00:11.22]Content”\n处理后变成\n“[01:05.00][33:44.55][00:11.22]Content”";
    QTest::newRow("split")
        << "按钮_拆分标签"
        << "若选中的文本含有多个时间标签，则把它们拆分开\n例如：\n“[33:44.55][00:11.22]"
           "Content”\n处理后变成：\n“[33:44.55]Content\n[00:11.22]Content”";
    QTest::newRow("sort") << "按钮_按时间排序"
                          << "对选中的文本中，带有时间标签的部分进行排序（不会自动拆分）";
    QTest::newRow("jump")
        << "按钮_跳到进度"
        << "如果选中的歌词带有时间标签，则令播放器跳转到此处\n若选中多行，只考虑第一行\n"
           "若此行有多个时间标签，则轮流在多处循环跳转\n例如，选中\n“[33:44.55][00:11."
           "22]Content”\n第一次按下时，跳转到33分44秒处，第二次按下时，跳转到11秒处";
    QTest::newRow("offset")
        << "按钮_整合偏移"
        << "处理歌词中的“[offset:]”标记，把它的值累加到每个时间标签\n例如：\n“[offset:"
           "1000]\n[33:44.55][00:11.22]Content”\n处理后变成\n“[33:45.55][00:12.22]"
           "Content”";
    QTest::newRow("blank") << "按钮_删除空行"
                           << "删除全部空行";
    QTest::newRow("fold")
        << "按钮_折叠相同文本"
        << "与“拆分标签”相反，折叠相同文本可以减小导出歌词的文件尺寸\n例如：\n“[33:44.55]"
           "Content\n[00:11.22]Content”\n处理后变成\n“[33:44.55][00:11.22]Content”";
  }

  void tooltipsAreTheDesignedTexts() {
    QFETCH(QString, name);
    QFETCH(QString, tip);
    auto window = MakeWindow();
    QWidget* control = window->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->toolTip(), tip);
  }

  void shortcutHelpShowsTheKeyList() {
    auto window = MakeWindow();
    window->show();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    const int before = MessageBox::ShownCount();
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮_快捷键")),
                      Qt::LeftButton);
    QCOMPARE(MessageBox::ShownCount(), before + 1);
    QCOMPARE(MessageBox::LastCaption(), QStringLiteral("快捷键"));
    QCOMPARE(MessageBox::LastIcon(), QMessageBox::NoIcon);
    // Full-width letters and five ideographic spaces after every key name.
    const QString expected = QString::fromUtf8(
        "Alt +\uFF24\u3000\u3000\u3000\u3000\u3000删除标签\nAlt "
        "+\uFF21\u3000\u3000\u3000\u3000\u3000加入标签\n"
        "Alt +\uFF32\u3000\u3000\u3000\u3000\u3000替换标签\nAlt "
        "+↑\u3000\u3000\u3000\u3000\u3000高亮行上移(*)\n"
        "Alt +↓\u3000\u3000\u3000\u3000\u3000高亮行下移(*)\nAlt "
        "+←\u3000\u3000\u3000\u3000\u3000快退5秒\n"
        "Alt "
        "+→\u3000\u3000\u3000\u3000\u3000快进5秒\nCtrl+"
        "↑\u3000\u3000\u3000\u3000\u3000文本向上滚动\n"
        "Ctrl+↓\u3000\u3000\u3000\u3000\u3000文本向下滚动\n"
        "Alt +\uFF25\u3000\u3000\u3000\u3000\u3000在文本框和按钮间切换焦点\n"
        "Alt "
        "+\uFF30\u3000\u3000\u3000\u3000\u3000播放/"
        "暂停\n\n带(*)标志的仅在文本框失去焦点时生效\n\n");
    // The established list unchanged, then the keys of our own.
    QCOMPARE(MessageBox::LastText().left(expected.size()), expected);
    QVERIFY(MessageBox::LastText().mid(expected.size()).startsWith(QStringLiteral("Alt +－")));
  }

  // The real boxes, as shown: the key list's rows line up, the About box keeps the
  // address on one line and shows the program's icon.
  void helpAndAboutAsShown() {
    auto window = MakeWindow();
    window->show();
    QVERIFY(!window->windowIcon().isNull());
    const auto inShownBox = [&](const char* button, std::function<void(QMessageBox*)> check) {
      bool seen = false;
      QTimer::singleShot(0, window.get(), [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seen = true;
        check(box);
        QTest::keyClick(box, Qt::Key_Escape);
      });
      QTest::mouseClick(window->findChild<QPushButton*>(QString::fromUtf8(button)), Qt::LeftButton);
      QVERIFY(seen);
    };
    inShownBox("按钮_快捷键", [](QMessageBox* box) {
      auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      const QFontMetrics metrics(label->font());
      const int key = metrics.horizontalAdvance(QStringLiteral("Alt +\uFF24"));
      for (const char* other : {"Alt +↑", "Alt +↓", "Alt +←", "Alt +→", "Ctrl+↑", "Ctrl+\uFF3A"})
        QVERIFY2(metrics.horizontalAdvance(QString::fromUtf8(other)) == key, other);
    });
    inShownBox("按钮_关于", [](QMessageBox* box) {
      QVERIFY(!box->iconPixmap().isNull());
      auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      const QString address = QStringLiteral("<maintainers@users.noreply.c-seed-633bd8bf.example>");
      QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(address));
    });
  }

  void aboutNamesTheProgramNotTheCaption() {
    auto window = MakeWindow();
    window->setWindowTitle(QStringLiteral("Lirotag " LIROTAG_VERSION " - /music/a.mp3"));
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮_关于")), Qt::LeftButton);
    QVERIFY(MessageBox::LastCaption().contains(QStringLiteral("Lirotag " LIROTAG_VERSION)));
    QVERIFY(!MessageBox::LastCaption().contains(QStringLiteral("a.mp3")));
    QCOMPARE(MessageBox::LastText(),
             QStringLiteral("Lirotag " LIROTAG_VERSION "\n\nLirotag contributors "
                            "<maintainers@users.noreply.c-seed-633bd8bf.example>"));
  }

  void settingsButtonOpensAModelessWindow() {
    auto window = MakeWindow();
    window->show();
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮_设置")), Qt::LeftButton);
    QWidget* settings = window->findChild<QWidget*>(QStringLiteral("窗口_设置"));
    QVERIFY(settings);
    QTRY_VERIFY(settings->isVisible());
    QCOMPARE(settings->windowTitle(), QStringLiteral("设置"));
    QVERIFY(!settings->isModal());
    QVERIFY(window->isEnabled());
  }

  void closingWithoutASongNeverAsks_data() {
    QTest::addColumn<QByteArray>("askOnExit");
    QTest::newRow("ask on") << QByteArray("1");
    QTest::newRow("ask off") << QByteArray("0");
  }

  void closingWithoutASongNeverAsks() {
    QFETCH(QByteArray, askOnExit);
    WriteAll(IniPath(), "[Other]\r\nAskOnExit=" + askOnExit.toStdString() + "\r\n");
    auto window = MakeWindow();
    window->show();
    const int before = MessageBox::ShownCount();
    QVERIFY(window->close());
    QCOMPARE(MessageBox::ShownCount(), before);
  }

  void closeQueryWithASongOpen_data() {
    QTest::addColumn<QByteArray>("askOnExit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<bool>("closes");
    QTest::newRow("ask, OK") << QByteArray("1") << int(QMessageBox::Ok) << true << true;
    QTest::newRow("ask, Cancel") << QByteArray("1") << int(QMessageBox::Cancel) << true << false;
    QTest::newRow("don't ask") << QByteArray("0") << int(QMessageBox::Cancel) << false << true;
    QTest::newRow("'true' is not 1")
        << QByteArray("true") << int(QMessageBox::Cancel) << false << true;
  }

  void closeQueryWithASongOpen() {
    QFETCH(QByteArray, askOnExit);
    QFETCH(int, answer);
    QFETCH(bool, asks);
    QFETCH(bool, closes);
    WriteAll(IniPath(), "[Other]\r\nAskOnExit=" + askOnExit.toStdString() + "\r\n");
    const QString song = dir_.filePath(QStringLiteral("song.wav"));
    QVERIFY(lirotag::testing::WriteWav(song.toStdString(), 8000, 8000));
    auto window = MakeWindow();
    window->show();
    QVERIFY(window->transport()->OpenSong(song.toStdString()));
    MessageBox::SetNextAnswer(static_cast<QMessageBox::StandardButton>(answer));
    const int before = MessageBox::ShownCount();
    QCOMPARE(window->close(), closes);
    QCOMPARE(MessageBox::ShownCount(), before + (asks ? 1 : 0));
    if (asks) {
      QCOMPARE(MessageBox::LastCaption(), QStringLiteral("确认退出"));
      QCOMPARE(MessageBox::LastIcon(), QMessageBox::Question);
      QCOMPARE(MessageBox::LastText(),
               QStringLiteral("是否要退出？\n请确认单击过“保存歌词”按钮，并成功保存了文件。\n（可以"
                              "在设置中关闭此提示）"));
    }
    QCOMPARE(window->isVisible(), !closes);
  }

  // The lyric box's font comes once the window is drawn; text given at the start is
  // laid out in it from the first, never in the default font first.
  void lyricFontIsSetOnceDrawnOrWhenTextComes() {
    {
      auto window = MakeWindow();
      QCOMPARE(window->lyricEdit()->font().pointSize(), QFont().pointSize());
      window->show();
      QTRY_COMPARE(window->lyricEdit()->font().pointSize(), 12);
    }
    const QString lyric = dir_.filePath(QStringLiteral("a.lrc"));
    WriteAll(lyric.toStdString(), "[00:01.00]一\r\n");
    auto window = MakeWindow();
    window->StartUp({lyric});
    QCOMPARE(window->lyricEdit()->font().pointSize(), 12);
    QCOMPARE(window->lyricEdit()->toPlainText(), QStringLiteral("[00:01.00]一\n"));
  }

  void settingsAreLoadedAtStartAndWrittenAtExit() {
    WriteAll(IniPath(),
             "; kept\r\n[Skin]\r\nEnable=0\r\n[SaveTo]\r\nEncoding=2.9\r\n[Other]\r\n"
             "BackGroundColor=255\r\nAskOnExit=true\r\n[Mine]\r\nx=y\r\n");
    {
      auto window = MakeWindow();
      QCOMPARE(window->settings().Encoding, 2);
      QCOMPARE(window->settings().AskOnExit, false);
      QCOMPARE(window->settings().BackGroundColor, 255);
      QCOMPARE(window->lyricEdit()->palette().color(QPalette::Base), QColor(255, 0, 0));
      window->settings().ThreePointTime = true;
    }
    const std::string ini = ReadAll(IniPath());
    const std::string path = std::string("Path=") + lirotag::kDefaultSavePattern;
    for (const char* expected :
         {"; kept", "Enable=0", "[Mine]", "x=y", "Encoding=2", "AskOnExit=0", "ThreePointTime=1",
          "HighLightTextColor=255", "NormalTextColor=0", path.c_str(), "FastMode=0", "EditBy="}) {
      QVERIFY2(HasLine(ini, expected), expected);
    }
  }

  void aFreshStartWritesTheDefaults() {
    { auto window = MakeWindow(); }
    const std::string ini = ReadAll(IniPath());
    for (const char* expected : {"AskOnExit=1", "Encoding=1", "BackGroundColor=16777215",
                                 "HighLightTextColor=255", "Automatic=0", "AutoAdd=0"}) {
      QVERIFY2(HasLine(ini, expected), expected);
    }
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
