#include "shell/settings_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "shell/calibration_dialog.h"
#include "shell/edit_buttons.h"
#include "shell/skins.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::testing::ReadAll;
using lirotag::testing::WriteAll;
using lirotag::ui::MessageBox;

class SettingsWindowTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  std::unique_ptr<MainWindow> window_;

  template <typename T>
  T* In(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromUtf8(name));
    if (!found) qFatal("no %s", name);
    return found;
  }
  QWidget* OpenSettings() {
    QTest::mouseClick(In<QPushButton>(window_.get(), "按钮_设置"), Qt::LeftButton);
    return window_->settingsWindow();
  }
  QString SkinDir() const { return f_.dir.filePath(QStringLiteral("Skin")); }

 private slots:
  void init() {
    QFile::remove(f_.IniPath());
    QDir(SkinDir()).removeRecursively();
  }
  void cleanup() {
    window_.reset();
    MessageBox::ClearNextAnswer();
    qApp->setStyleSheet(QString());
  }

  void everyControlChangesTheSettingsAtOnce() {
    window_ = f_.MakeActiveWindow();
    lirotag::Settings& s = window_->settings();
    s.EditBy = "小明";
    s.AutoAdd = true;
    s.Encoding = 7;
    QWidget* w = OpenSettings();
    QCOMPARE(OpenSettings(), w);  // one window, raised again
    QCOMPARE(w->windowTitle(), QStringLiteral("设置"));
    // Screen readers are offered a window named by its caption, not a nameless filler.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
    QCOMPARE(accessible ? accessible->role() : QAccessible::NoRole, QAccessible::Window);
    // Full mode: the maker's name and "add automatically" keep their values, greyed.
    QVERIFY(In<QRadioButton>(w, "单选框_修改信息_完全模式")->isChecked());
    QLineEdit* maker = In<QLineEdit>(w, "编辑框_歌词制作人");
    QCOMPARE(maker->text(), QStringLiteral("小明"));
    QVERIFY(!maker->isEnabled() && !In<QCheckBox>(w, "选择框_修改信息_自动添加")->isEnabled());
    QVERIFY(In<QCheckBox>(w, "选择框_修改信息_自动添加")->isChecked());
    QCOMPARE(In<QComboBox>(w, "组合框_保存歌词_文本编码")->currentIndex(), -1);
    QVERIFY(!In<QComboBox>(w, "组合框_保存歌词_位置")->isEnabled());

    QTest::mouseClick(In<QRadioButton>(w, "单选框_修改信息_快速模式"), Qt::LeftButton);
    QVERIFY(s.FastMode && maker->isEnabled());
    maker->clear();
    maker->insert(QStringLiteral("王"));  // as an input method commits it
    QCOMPARE(s.EditBy, std::string("王"));
    QTest::mouseClick(In<QCheckBox>(w, "选择框_修改信息_自动添加"), Qt::LeftButton);
    QVERIFY(!s.AutoAdd);
    QTest::mouseClick(In<QRadioButton>(w, "单选框_保存歌词_自动保存"), Qt::LeftButton);
    QComboBox* path = In<QComboBox>(w, "组合框_保存歌词_位置");
    QVERIFY(s.Automatic && path->isEnabled());
    path->lineEdit()->selectAll();
    QTest::keyClicks(path, QStringLiteral("%Title%.lrc"));
    QCOMPARE(s.Path, std::string("%Title%.lrc"));
    QComboBox* encoding = In<QComboBox>(w, "组合框_保存歌词_文本编码");
    encoding->setCurrentIndex(0);
    QTest::keyClick(encoding, Qt::Key_Down);
    QCOMPARE(s.Encoding, 1);
    QTest::mouseClick(In<QCheckBox>(w, "选择框_其他_退出时询问"), Qt::LeftButton);
    QVERIFY(!s.AskOnExit);
    QCOMPARE(
        In<QComboBox>(w, "组合框_保存歌词_文本编码")->toolTip(),
        QStringLiteral("选择写出的.LRC歌词所采用的编码方式\n建议选择UTF16以便在不同语言的机器上正"
                       "常显示"));

    // Three decimals asks first; Cancel leaves it off, unchecking never asks.
    QCheckBox* three = In<QCheckBox>(w, "选择框_其他_三位小数点");
    MessageBox::SetNextAnswer(QMessageBox::Cancel);
    QTest::mouseClick(three, Qt::LeftButton);
    QCOMPARE(MessageBox::LastCaption(), QStringLiteral("警告"));
    QVERIFY(!three->isChecked() && !s.ThreePointTime);
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(three, Qt::LeftButton);
    QVERIFY(three->isChecked() && s.ThreePointTime);
    const int asked = MessageBox::ShownCount();
    QTest::mouseClick(three, Qt::LeftButton);
    QVERIFY(!s.ThreePointTime);
    QCOMPARE(MessageBox::ShownCount(), asked);

    // "哪些字段可用？" shows the placeholders in a box that stays until closed, from a
    // click or from the keyboard, with the separator of the pattern chosen.
    QLabel* help = In<QLabel>(w, "标签_保存歌词_提示");
    In<QComboBox>(w, "组合框_保存歌词_位置")
        ->setCurrentText(QStringLiteral("%LocalDir%/%Title%.lrc"));
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(help, Qt::LeftButton);
    QCOMPARE(MessageBox::LastText(), lirotag::SettingsWindow::PlaceholderHelp(QLatin1Char('/')));
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("不包含末尾“/”")));
    QCOMPARE(help->focusPolicy(), Qt::StrongFocus);
    In<QComboBox>(w, "组合框_保存歌词_位置")
        ->setCurrentText(QStringLiteral("%LocalDir%\\%Title%.lrc"));
    const int shown = MessageBox::ShownCount();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::keyClick(help, Qt::Key_Space);
    QCOMPARE(MessageBox::ShownCount(), shown + 1);
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("不包含末尾“\\”")));
    // Esc closes the window.
    QTest::keyClick(help, Qt::Key_Escape);
    QVERIFY(!w->isVisible());
  }

  // The language is chosen for the next start: kept in our own section, said once, and
  // shown again as chosen; an unknown stored value shows (and works) as automatic.
  void languageIsKeptForTheNextStart() {
    WriteAll(f_.IniPath(), "[Lirotag]\r\nLanguage=fr\r\n");
    window_ = f_.MakeActiveWindow();
    QComboBox* language = In<QComboBox>(OpenSettings(), "组合框_界面语言");
    QCOMPARE(language->currentText(), QStringLiteral("自动"));
    QCOMPARE(language->count(), 3);
    const int shown = MessageBox::ShownCount();
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    language->setCurrentIndex(2);
    emit language->activated(2);
    QCOMPARE(MessageBox::ShownCount(), shown + 1);
    QCOMPARE(MessageBox::LastText(), QStringLiteral("界面语言将在下次启动程序时更换。"));
    QCOMPARE(window_->settings().Language, std::string("en"));
    // Nothing else changes now: the windows stay in the language they were built in.
    QCOMPARE(In<QPushButton>(window_.get(), "按钮_设置")->text(), QStringLiteral("设置"));
    window_.reset();
    QVERIFY(ReadAll(f_.IniPath()).find("[Lirotag]\r\nLanguage=en\r\n") != std::string::npos);

    window_ = f_.MakeActiveWindow();
    language = In<QComboBox>(OpenSettings(), "组合框_界面语言");
    QCOMPARE(language->currentText(), QStringLiteral("English"));
    language->setCurrentIndex(0);
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    emit language->activated(0);
    window_.reset();
    QVERIFY(ReadAll(f_.IniPath()).find("Language=\r\n") != std::string::npos);
  }

  void coloursRepaintTheBoxAndKeepTheHighlight() {
    window_ = f_.MakeActiveWindow();
    lirotag::ui::LyricEdit* box = window_->lyricEdit();
    box->setPlainText(QStringLiteral("a\nb\nc"));
    window_->editing()->editor().ResetHighlight();
    window_->editing()->editor().MoveHighlightDown();
    QWidget* w = OpenSettings();
    lirotag::ui::SetNextColour(QColor(0, 0, 128));
    QTest::mouseClick(In<QPushButton>(w, "颜色选择器_背景"), Qt::LeftButton);
    QCOMPARE(window_->settings().BackGroundColor, 0x800000);
    QCOMPARE(box->viewport()->grab().toImage().pixelColor(box->viewport()->width() - 3, 3),
             QColor(0, 0, 128));
    lirotag::ui::SetNextColour(QColor(0, 200, 0));
    QTest::mouseClick(In<QPushButton>(w, "颜色选择器_高亮文本"), Qt::LeftButton);
    QCOMPARE(box->HighlightColour(), QColor(0, 200, 0));
    QCOMPARE(box->HighlightFirst(), 1);
    lirotag::ui::SetNextColour(std::nullopt);  // cancelled: nothing changes
    QTest::mouseClick(In<QPushButton>(w, "颜色选择器_普通文本"), Qt::LeftButton);
    QCOMPARE(window_->settings().NormalTextColor, 0);
  }

  // The delay is set by hand or measured against the clicks, which play without a song
  // on the engine's silent output in real time.
  void theReactionDelayIsTypedOrMeasured() {
    window_ = f_.MakeActiveWindow();
    QWidget* w = OpenSettings();
    // Over the main window, not in a corner of the screen.
    QVERIFY(window_->frameGeometry().contains(w->frameGeometry().center()));
    QSpinBox* delay = In<QSpinBox>(w, "数值框_按键延迟补偿");
    QCOMPARE(delay->value(), 0);
    QCOMPARE(delay->maximum(), 1000);
    delay->selectAll();
    QTest::keyClicks(delay, QStringLiteral("250"));
    QCOMPARE(window_->settings().StampDelay, 250);

    QTest::mouseClick(In<QPushButton>(w, "按钮_校准"), Qt::LeftButton);
    auto* dialog = w->findChild<lirotag::CalibrationDialog*>();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isActiveWindow());
    QTest::mouseClick(In<QPushButton>(dialog, "按钮_开始校准"), Qt::LeftButton);
    QVERIFY(dialog->Running());
    // A press a fifth of a second after each click but the fourth, and one press too many.
    const std::vector<double>& clicks = dialog->Track().clicks;
    for (size_t i = 0; i < clicks.size(); ++i) {
      if (i == 3) continue;
      QTRY_VERIFY_WITH_TIMEOUT(dialog->Position() >= clicks[i] + 0.2, 3000);
      QTest::keyClick(dialog, Qt::Key_Space);
      if (i == 5) QTest::keyClick(dialog, Qt::Key_Space);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->Running(), 5000);
    // A copy: the dialog goes with the window before the file is checked.
    const lirotag::DelayMeasurement m = dialog->Measurement();
    QCOMPARE(m.used, 11);
    QVERIFY2(m.medianMs >= 200 && m.medianMs < 330, qPrintable(QString::number(m.medianMs)));
    QVERIFY(In<QLabel>(dialog, "标签_校准结果")
                ->text()
                .contains(QStringLiteral("%1 毫秒").arg(std::lround(m.medianMs))));
    QTest::mouseClick(In<QPushButton>(dialog, "按钮_使用校准值"), Qt::LeftButton);
    QCOMPARE(delay->value(), m.suggestedDelayMs);
    QCOMPARE(window_->settings().StampDelay, m.suggestedDelayMs);
    window_.reset();
    QVERIFY(ReadAll(f_.IniPath()).find("StampDelay=" + std::to_string(m.suggestedDelayMs)) !=
            std::string::npos);
  }

  void skinsMenuAndStartUp() {
    // No skin folder: the menu holds "禁用" and the separator only.
    window_ = f_.MakeWindow();
    QMenu* menu = window_->skins()->Menu();
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->title(), QStringLiteral("更换皮肤"));
    window_.reset();

    QVERIFY(QDir().mkpath(SkinDir()));
    WriteAll(SkinDir() + "/b.she", "QPushButton { color: #123456; }");
    WriteAll(SkinDir() + "/a.she", "QPushButton { color: #654321; }");
    window_ = f_.MakeWindow();
    // No configuration: the first skin is applied and nothing written.
    QCOMPARE(qApp->styleSheet(), QStringLiteral("QPushButton { color: #654321; }"));
    QStringList items;
    QList<int> ids;
    for (QAction* a : window_->skins()->Menu()->actions()) {
      items << a->text();
      ids << a->data().toInt();
    }
    QCOMPARE(items, (QStringList{"禁用", "", "a.she", "b.she"}));
    QCOMPARE(ids, (QList<int>{-1, 0, 1, 2}));
    // The skin in use is marked.
    const auto marked = [&] {
      QStringList on;
      for (QAction* a : window_->skins()->Menu()->actions())
        if (a->isChecked()) on << a->text();
      return on;
    };
    QCOMPARE(marked(), QStringList{"a.she"});
    QVERIFY(ReadAll(f_.IniPath()).find("[Skin]") == std::string::npos);
    WriteAll(SkinDir() + "/c.she", "");  // appears at the next start only
    window_->skins()->Menu()->actions().at(3)->trigger();
    QCOMPARE(qApp->styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
    QVERIFY(ReadAll(f_.IniPath()).find("Enable=1") != std::string::npos);
    QVERIFY(ReadAll(f_.IniPath()).find("Path=b.she") != std::string::npos);
    QCOMPARE(marked(), QStringList{"b.she"});
    window_->skins()->Menu()->actions().at(0)->trigger();
    QCOMPARE(qApp->styleSheet(), QString());
    QCOMPARE(marked(), QStringList{"禁用"});
    QVERIFY(ReadAll(f_.IniPath()).find("Enable=0") != std::string::npos);
    QVERIFY(ReadAll(f_.IniPath()).find("Path=b.she") != std::string::npos);
    QCOMPARE(window_->skins()->Menu()->actions().size(), 4);
    window_.reset();
    window_ = f_.MakeWindow();
    QCOMPARE(qApp->styleSheet(), QString());  // disabled stays disabled
    QCOMPARE(window_->skins()->Menu()->actions().size(), 5);
    // A skin that cannot be read leaves the ordinary look.
    WriteAll(f_.IniPath(), "[Skin]\r\nEnable=1\r\nPath=gone.she\r\n");
    window_.reset();
    window_ = f_.MakeWindow();
    QCOMPARE(qApp->styleSheet(), QString());
  }
};

QTEST_MAIN(SettingsWindowTest)
#include "settings_window_test.moc"
