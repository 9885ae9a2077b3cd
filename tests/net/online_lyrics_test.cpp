// The window's "在线查找歌词" and "发布歌词", driven as a user would, against the stand-in
// service in this process.

#include "shell/online_lyrics.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "lrclib_standin.h"
#include "shell/settings.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"
#include "window_fixture.h"

using lirotag::MainWindow;
using lirotag::ui::MessageBox;

class OnlineLyricsTest : public QObject {
  Q_OBJECT

 private:
  lirotag::testing::WindowFixture f_;
  lirotag::testing::LrclibStandIn server_;

  void UseServer(const QString& url) {
    QVERIFY(lirotag::WriteConfigValue(f_.fs, f_.IniPath().toStdString(), "Lirotag",
                                      lirotag::kLrclibServerKey, url.toStdString()));
  }
  template <typename T>
  static T* In(QWidget* dialog, const char* name) {
    return dialog ? dialog->findChild<T*>(QString::fromUtf8(name)) : nullptr;
  }
  static QWidget* Dialog(MainWindow* window, const char* name) {
    return window->findChild<QDialog*>(QString::fromUtf8(name));
  }
  static QString Status(QWidget* dialog) { return In<QLabel>(dialog, "标签_状态")->text(); }

 private slots:
  void initTestCase() {
    QVERIFY(server_.Start());
    server_.AddKnownTracks();
  }
  void init() {
    QFile::remove(f_.IniPath());
    MessageBox::ClearNextAnswer();
  }
  void cleanup() { f_.player.Free(); }

  void bothCommandsAreInBothMenusWithKeysAndTips() {
    auto window = f_.MakeActiveWindow();
    lirotag::OnlineLyrics* online = window->onlineLyrics();
    const QList<QAction*> box = window->lyricEdit()->ContextMenu()->actions();
    QVERIFY(box.contains(online->FindAction()) && box.contains(online->PublishAction()));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                            window->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(window.get(), &event);
    auto* menu = window->findChild<QMenu*>(QStringLiteral("菜单_窗口"));
    QVERIFY(menu && menu->actions().contains(online->FindAction()) &&
            menu->actions().contains(online->PublishAction()));
    menu->close();
    QVERIFY(online->FindAction()->toolTip().contains(QStringLiteral("Alt+O")));
    QVERIFY(online->PublishAction()->toolTip().contains(QStringLiteral("Alt+U")));
    // Alt+U without a song refuses in words.
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::keyClick(window.get(), Qt::Key_U, Qt::AltModifier);
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("请先打开这首歌")));
    QVERIFY(!Dialog(window.get(), "对话框_发布歌词"));
  }

  void findLoadsTheChosenLyricAsOneUndoStepAfterAsking() {
    UseServer(server_.Url());
    auto window = f_.MakeActiveWindow();
    lirotag::ui::LyricEdit* box = window->lyricEdit();
    // An untagged song of the record's length: the names come from the lyric's header,
    // the exact lookup and the search find the same record, listed once.
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(213)));
    const QString before = QStringLiteral("[ti:月亮代表我的心]\n[ar:邓丽君]\n我自己打的字");
    box->setPlainText(before);
    box->document()->setModified(true);
    QTest::keyClick(window.get(), Qt::Key_O, Qt::AltModifier);
    QWidget* dialog = Dialog(window.get(), "对话框_在线查找歌词");
    QVERIFY(dialog);
    QCOMPARE(In<QLineEdit>(dialog, "编辑框_歌名")->text(), QStringLiteral("月亮代表我的心"));
    QCOMPARE(In<QLineEdit>(dialog, "编辑框_歌手")->text(), QStringLiteral("邓丽君"));
    auto* list = In<QTreeWidget>(dialog, "列表_搜索结果");
    QTRY_COMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("淡淡幽情"));
    QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("3:33"));
    QCOMPARE(list->topLevelItem(0)->text(4), QStringLiteral("同步"));
    QVERIFY(In<QPlainTextEdit>(dialog, "编辑框_预览")
                ->toPlainText()
                .startsWith(QStringLiteral("[00:12.30]你问我爱你有多深")));

    // Declining the question leaves the box as it was, the dialog open.
    MessageBox::SetNextAnswer(QMessageBox::No);
    In<QPushButton>(dialog, "按钮_载入")->click();
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("还没有保存")));
    QCOMPARE(box->toPlainText(), before);
    MessageBox::SetNextAnswer(QMessageBox::Yes);
    In<QPushButton>(dialog, "按钮_载入")->click();
    QCOMPARE(box->toPlainText(),
             QStringLiteral("[00:12.30]你问我爱你有多深\n[00:18.05]我爱你有几分"));
    QTRY_VERIFY(!Dialog(window.get(), "对话框_在线查找歌词"));
    box->undo();
    QCOMPARE(box->toPlainText(), before);

    // Edited search words; a plain-only record says so and loads its words.
    box->clear();
    box->document()->setModified(false);
    window->onlineLyrics()->Find();
    dialog = Dialog(window.get(), "对话框_在线查找歌词");
    QTRY_VERIFY(Status(dialog).contains(QStringLiteral("请填写歌名")));
    auto* title = In<QLineEdit>(dialog, "编辑框_歌名");
    auto* artist = In<QLineEdit>(dialog, "编辑框_歌手");
    title->setText(QStringLiteral("Déjà Vu"));
    artist->setText(QStringLiteral("BEYONCÉ"));
    In<QPushButton>(dialog, "按钮_搜索")->click();
    list = In<QTreeWidget>(dialog, "列表_搜索结果");
    QTRY_COMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("Déjà Vu"));
    // Enter in the search words searches again; it never loads the selected match.
    title->setText(QStringLiteral("plain song"));
    artist->clear();
    QTest::keyClick(title, Qt::Key_Return);
    QTRY_VERIFY(list->topLevelItemCount() == 1 &&
                list->topLevelItem(0)->text(4) == QStringLiteral("纯文本"));
    QVERIFY(box->toPlainText().isEmpty());
    QVERIFY(Dialog(window.get(), "对话框_在线查找歌词"));
    const int asked = MessageBox::ShownCount();
    emit list->itemActivated(list->topLevelItem(0), 0);
    QCOMPARE(MessageBox::ShownCount(), asked);  // an empty box is not asked about
    QCOMPARE(box->toPlainText(), QStringLiteral("only words\nno times"));
  }

  void networkFaultsAreMessagesAndTheBoxStaysAsItWas() {
    auto window = f_.MakeActiveWindow();
    window->onlineLyrics()->SetTimeoutMs(300);
    window->lyricEdit()->setPlainText(QStringLiteral("[ti:月亮代表我的心]\n[ar:邓丽君]"));
    const QString refused = [] {
      lirotag::testing::LrclibStandIn gone;
      gone.Start();
      return gone.Url();
    }();
    const std::pair<QString, const char*> cases[] = {
        {server_.Url() + QStringLiteral("/html"), "不是歌词服务器的数据"},
        {server_.Url() + QStringLiteral("/fail500"), "HTTP 500"},
        {server_.Url() + QStringLiteral("/hang"), "没有回应"},
        {refused, "无法连接歌词服务器"},
    };
    for (const auto& [url, says] : cases) {
      UseServer(url);
      window->onlineLyrics()->Find();
      QWidget* dialog = Dialog(window.get(), "对话框_在线查找歌词");
      QTRY_VERIFY2(Status(dialog).contains(QString::fromUtf8(says)), qPrintable(Status(dialog)));
      QCOMPARE(In<QTreeWidget>(dialog, "列表_搜索结果")->topLevelItemCount(), 0);
      dialog->close();
      QTRY_VERIFY(!Dialog(window.get(), "对话框_在线查找歌词"));
    }
    QCOMPARE(window->lyricEdit()->toPlainText(),
             QStringLiteral("[ti:月亮代表我的心]\n[ar:邓丽君]"));
  }

  void publishShowsWhatIsSentSolvesAndReports() {
    UseServer(server_.Url());
    auto window = f_.MakeActiveWindow();
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    lirotag::ui::LyricEdit* box = window->lyricEdit();
    box->setPlainText(QStringLiteral("[00:01.00]一\n[00:02.00]二\n三"));
    MessageBox::SetNextAnswer(QMessageBox::Ok);
    window->onlineLyrics()->Publish();  // an untagged song and no header: no names
    QVERIFY(MessageBox::LastText().contains(QStringLiteral("歌名和歌手")));
    QVERIFY(!Dialog(window.get(), "对话框_发布歌词"));

    box->setPlainText(QStringLiteral("[ti:测试歌]\n[ar:Zoë]\n[00:01.00]一\n[00:02.00]二\n三"));
    QTest::keyClick(window.get(), Qt::Key_U, Qt::AltModifier);
    QWidget* dialog = Dialog(window.get(), "对话框_发布歌词");
    QVERIFY(dialog);
    QCOMPARE(In<QLabel>(dialog, "标签_歌名")->text(), QStringLiteral("测试歌"));
    QCOMPARE(In<QLabel>(dialog, "标签_歌手")->text(), QStringLiteral("Zoë"));
    QCOMPARE(In<QLabel>(dialog, "标签_专辑")->text(), QStringLiteral("（无）"));
    QCOMPARE(In<QLabel>(dialog, "标签_长度")->text(), QStringLiteral("10.00 秒（0:10）"));
    QCOMPARE(In<QLabel>(dialog, "标签_行数")->text(), QStringLiteral("3 行"));
    QVERIFY(In<QLabel>(dialog, "标签_类型")->text().startsWith(QStringLiteral("同步歌词")));
    const int before = server_.PublishCount();
    In<QPushButton>(dialog, "按钮_发布")->click();
    QTRY_VERIFY2(Status(dialog).contains(QStringLiteral("发布成功")), qPrintable(Status(dialog)));
    QCOMPARE(server_.PublishCount(), before + 1);
    const QJsonObject sent = server_.Records().last();
    QCOMPARE(sent[QLatin1String("trackName")].toString(), QStringLiteral("测试歌"));
    QCOMPARE(sent[QLatin1String("duration")].toDouble(), 10.0);
    QCOMPARE(sent[QLatin1String("plainLyrics")].toString(), QStringLiteral("一\n二\n三"));
    QVERIFY(
        sent[QLatin1String("syncedLyrics")].toString().contains(QStringLiteral("[00:02.00]二")));
    In<QPushButton>(dialog, "按钮_取消")->click();  // now "关闭"
    QTRY_VERIFY(!Dialog(window.get(), "对话框_发布歌词"));

    // The service's refusal comes back in the dialog, with a retry.
    UseServer(server_.Url() + QStringLiteral("/html"));
    window->onlineLyrics()->Publish();
    dialog = Dialog(window.get(), "对话框_发布歌词");
    In<QPushButton>(dialog, "按钮_发布")->click();
    QTRY_VERIFY(Status(dialog).contains(QStringLiteral("发布失败")));
    QCOMPARE(In<QPushButton>(dialog, "按钮_发布")->text(), QStringLiteral("重试(&P)"));
    QVERIFY(In<QPushButton>(dialog, "按钮_发布")->isEnabled());
    dialog->close();
  }

  void cancelStopsTheWorkAndSendsNothing() {
    // A target nothing meets: the work runs until cancelled.
    lirotag::testing::LrclibStandIn hard(QByteArray(64, '0'));
    QVERIFY(hard.Start());
    UseServer(hard.Url());
    auto window = f_.MakeActiveWindow();
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    window->lyricEdit()->setPlainText(QStringLiteral("[ti:歌]\n[ar:人]\n[00:01.00]一"));
    window->onlineLyrics()->Publish();
    QWidget* dialog = Dialog(window.get(), "对话框_发布歌词");
    In<QPushButton>(dialog, "按钮_发布")->click();
    auto* bar = In<QProgressBar>(dialog, "进度条_发布");
    QTRY_VERIFY(Status(dialog).contains(QStringLiteral("正在计算验证：已尝试")));
    QVERIFY(bar->isVisible());
    In<QPushButton>(dialog, "按钮_取消")->click();
    QTRY_VERIFY(!Dialog(window.get(), "对话框_发布歌词"));
    QCOMPARE(hard.ChallengesIssued(), 1);
    QCOMPARE(hard.PublishCount(), 0);
  }
};

QTEST_MAIN(OnlineLyricsTest)
#include "online_lyrics_test.moc"
