// The two interface languages cannot drift apart: every text the code hands to the
// translators has its English translation, and the real windows under an English locale
// show no Chinese.
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtTest>
#include <cstdlib>

#include "audio/player.h"
#include "files/lyric_encodings.h"
#include "lupdate_config.h"
#include "shell/edit_buttons.h"
#include "shell/main_window.h"
#include "shell/settings.h"
#include "shell/settings_window.h"
#include "shell/subtitle_files.h"
#include "shell/transport.h"
#include "ui/dialogs.h"
#include "ui/file_dialog.h"
#include "ui/lyric_edit.h"
#include "ui/translation.h"
#include "window_fixture.h"

using lirotag::MainWindow;

namespace {

const QRegularExpression& Cjk() {
  // Han, CJK punctuation and full-width forms: what a Chinese caption leaves behind.
  static const QRegularExpression re(
      QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
  return re;
}

// Every caption, tooltip, title and item the user can read in `root` and below, as
// "where: text"; the lyric text itself is the user's and not looked at.
QStringList VisibleTexts(QObject* root) {
  QStringList texts;
  auto add = [&](const QObject* o, const char* what, const QString& text) {
    if (!text.isEmpty())
      texts << o->objectName() + QLatin1Char(' ') + what + QStringLiteral(": ") + text;
  };
  QList<QObject*> objects = root->findChildren<QObject*>();
  objects.prepend(root);
  for (QObject* o : objects) {
    if (auto* w = qobject_cast<QWidget*>(o)) {
      add(w, "title", w->windowTitle());
      add(w, "tooltip", w->toolTip());
      add(w, "accessible name", w->accessibleName());
      add(w, "status tip", w->statusTip());
      add(w, "what's this", w->whatsThis());
    }
    if (auto* b = qobject_cast<QAbstractButton*>(o)) add(b, "text", b->text());
    if (auto* l = qobject_cast<QLabel*>(o)) add(l, "text", l->text());
    if (auto* g = qobject_cast<QGroupBox*>(o)) add(g, "title", g->title());
    if (auto* e = qobject_cast<QLineEdit*>(o)) add(e, "placeholder", e->placeholderText());
    if (auto* m = qobject_cast<QMenu*>(o)) add(m, "menu", m->title());
    if (auto* c = qobject_cast<QComboBox*>(o)) {
      for (int i = 0; i < c->count(); ++i)
        // The language list names each language in its own words.
        if (c->itemData(i).toString() != QLatin1String("zh_CN")) add(c, "item", c->itemText(i));
    }
    if (auto* a = qobject_cast<QAction*>(o)) {
      add(a, "action", a->text());
      add(a, "action tooltip", a->toolTip());
    }
  }
  return texts;
}

// Captions wider than their place in `root` and below, as "name: text (needed > room)".
// Buttons and labels keep their designed sizes, so an English caption has to fit them.
QStringList Clipped(QWidget* root) {
  QStringList found;
  QList<QWidget*> widgets = root->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    if (w->isHidden()) continue;
    int needed = 0, room = w->width();
    QString text;
    const QFontMetrics metrics(w->font());
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      text = b->text().remove(QLatin1Char('&'));
      // The frame and the style's margins take some of the button's width.
      needed = metrics.horizontalAdvance(text) + 8;
    } else if (auto* c = qobject_cast<QAbstractButton*>(w)) {
      text = c->text();
      needed = c->sizeHint().width();
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
      if (l->wordWrap() || l->textFormat() == Qt::RichText) continue;
      text = l->text().remove(QLatin1Char('&'));
      for (const QString& line : text.split(QLatin1Char('\n')))
        needed = std::max(needed, metrics.horizontalAdvance(line));
      room = l->contentsRect().width();
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      text = g->title();
      needed = metrics.horizontalAdvance(text) + 12;
    }
    if (!text.isEmpty() && needed > room)
      found << QStringLiteral("%1: %2 (%3 > %4)").arg(w->objectName(), text).arg(needed).arg(room);
  }
  return found;
}

QStringList Chinese(const QStringList& texts) {
  QStringList found;
  for (const QString& t : texts)
    if (t.section(QStringLiteral(": "), 1).contains(Cjk())) found << t;
  return found;
}

}  // namespace

class TranslationsTest : public QObject {
  Q_OBJECT

  lirotag::testing::WindowFixture f_;

 private slots:
  void initTestCase() {
    // The test runs with an English locale, as the user's desktop would give it.
    const std::string language =
        lirotag::ChooseUiLanguage("", std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                  std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    QCOMPARE(QString::fromStdString(language), QStringLiteral("en"));
    lirotag::ui::InstallTranslations(QCoreApplication::instance(), language);
  }

  // lupdate over the code, into a copy of the translation: whatever it adds (a text with
  // no translation yet) or retires (a translation whose text is gone), and any empty
  // translation, fails here with its text.
  void everyTextHasAnEnglishTranslation() {
    QTemporaryDir dir;
    const QString ts = dir.filePath(QStringLiteral("lirotag_en.ts"));
    QVERIFY(QFile::copy(QStringLiteral(LIROTAG_TS_FILE), ts));
    QFile::setPermissions(ts, QFile::ReadOwner | QFile::WriteOwner);
    QStringList args = {LIROTAG_LUPDATE_ARGS};
    args << QStringLiteral("-ts") << ts;
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(LIROTAG_SOURCE_DIR));
    lupdate.start(QStringLiteral(LIROTAG_LUPDATE), args);
    QVERIFY(lupdate.waitForFinished(60000));
    QCOMPARE(lupdate.exitCode(), 0);

    QFile file(ts);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString context, source;
    QStringList problems;
    int messages = 0;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      if (xml.name() == QLatin1String("name")) {
        context = xml.readElementText();
      } else if (xml.name() == QLatin1String("source")) {
        source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      } else if (xml.name() == QLatin1String("translation")) {
        ++messages;
        const QString type = xml.attributes().value(QLatin1String("type")).toString();
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (!type.isEmpty())
          problems << QStringLiteral("%1 (%2): %3").arg(context, type, source);
        else if (text.trimmed().isEmpty())
          problems << QStringLiteral("%1 (empty): %2").arg(context, source);
        else if (text.contains(Cjk()))
          problems << QStringLiteral("%1 (Chinese left): %2").arg(context, text);
      }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY2(problems.isEmpty(), qPrintable(QStringLiteral("run the update_translations target "
                                                           "and translate:\n") +
                                            problems.join(QLatin1Char('\n'))));
    QVERIFY(messages > 100);
  }

  // The main window, its background menu, the settings window and the additional
  // information window, and the boxes of "快捷键" and "关于", as an English user sees them.
  void englishWindowsShowNoChinese() {
    QFile::remove(f_.IniPath());
    std::unique_ptr<MainWindow> window = f_.MakeActiveWindow();
    QVERIFY(window);
    // The background menu is built on first use.
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(560, 600),
                            window->mapToGlobal(QPoint(560, 600)));
    QApplication::sendEvent(window.get(), &event);
    auto* menu = window->findChild<QMenu*>(QStringLiteral("菜单_窗口"));
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
    // The lyric box's own menu too.
    auto* box = window->lyricEdit();
    QContextMenuEvent boxEvent(QContextMenuEvent::Mouse, QPoint(5, 5),
                               box->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(box->viewport(), &boxEvent);
    auto* boxMenu = box->findChild<QMenu*>(QStringLiteral("右键菜单"));
    QVERIFY(boxMenu);
    QTRY_VERIFY(boxMenu->isVisible());
    boxMenu->hide();

    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮_设置")), Qt::LeftButton);
    QWidget* settings = nullptr;
    QTRY_VERIFY((settings = window->findChild<QWidget*>(QStringLiteral("窗口_设置"))));
    QVERIFY(settings->isVisible());

    QStringList infoTexts, infoClipped;
    QTimer::singleShot(0, this, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      infoTexts = VisibleTexts(dialog);
      infoClipped = Clipped(dialog);
      dialog->reject();
    });
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("按钮_设置附加信息")),
                      Qt::LeftButton);
    QVERIFY(!infoTexts.isEmpty());
    QVERIFY2(infoClipped.isEmpty(), qPrintable(infoClipped.join(QLatin1Char('\n'))));

    QStringList clipped = Clipped(window.get());  // the settings window included
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
    QStringList texts = VisibleTexts(window.get());
    // Nothing was left out: the buttons and menus are among them, in English.
    QVERIFY(texts.contains(QStringLiteral("按钮_加入标签 text: &Add tag")));
    QVERIFY(texts.size() > 60);
    texts << infoTexts;
    texts << QStringLiteral("placeholder help: ") + lirotag::SettingsWindow::PlaceholderHelp();
    for (const char* button : {"按钮_快捷键", "按钮_关于"}) {
      lirotag::ui::MessageBox::SetNextAnswer(QMessageBox::Ok);
      QTest::mouseClick(window->findChild<QPushButton*>(QString::fromUtf8(button)), Qt::LeftButton);
      texts << QString::fromUtf8(button) + QStringLiteral(" box: ") +
                   lirotag::ui::MessageBox::LastCaption();
      texts << QString::fromUtf8(button) + QStringLiteral(" box: ") +
                   lirotag::ui::MessageBox::LastText();
    }
    const QStringList chinese = Chinese(texts);
    QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join(QLatin1Char('\n'))));
  }

  // Texts of the Qt-free core, shown by the window: the file dialogs' type names (the
  // chosen type is still reported by its Chinese name) and the encodings.
  void coreTextsAreShownInEnglish() {
    QStringList texts;
    for (const std::string& filter :
         {lirotag::LoadPlugins(*f_.engine, f_.dir.filePath(QStringLiteral("none")).toStdString()),
          std::string(lirotag::kLoadFilterWithSubtitles),
          std::string(lirotag::kSaveFilterWithSubtitles)})
      texts << lirotag::ui::ToQtNameFilters(filter);
    for (const lirotag::LyricEncoding& e : lirotag::LyricEncodings())
      texts << lirotag::ui::CoreText(e.menuText);
    for (const QString& text : texts) QVERIFY2(!text.contains(Cjk()), qPrintable(text));
    QVERIFY(texts.contains(QStringLiteral("GBK (Simplified Chinese)")));
  }

  // The stamping keys keep their letters in English.
  void englishMnemonicsStillStamp() {
    QFile::remove(f_.IniPath());
    std::unique_ptr<MainWindow> window = f_.MakeActiveWindow();
    QVERIFY(window);
    const struct {
      const char* button;
      const char* mnemonic;
    } keys[] = {{"按钮_加入标签", "&A"},
                {"按钮_替换标签", "&R"},
                {"按钮_删除时间标签", "&D"},
                {"按钮_播放暂停", "&P"}};
    for (const auto& k : keys) {
      auto* button = window->findChild<QPushButton*>(QString::fromUtf8(k.button));
      QVERIFY(button);
      QVERIFY2(button->text().contains(QLatin1String(k.mnemonic)), qPrintable(button->text()));
    }
    window->lyricEdit()->setPlainText(QStringLiteral("one\ntwo"));
    window->editing()->editor().ResetHighlight();
    window->findChild<QPushButton*>(QStringLiteral("按钮_关于"))->setFocus();
    QTRY_VERIFY(!window->lyricEdit()->hasFocus());
    QVERIFY(window->transport()->OpenSong(f_.MakeSong(10)));
    QVERIFY(f_.player.SeekSeconds(1.5));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(window->lyricEdit()->toPlainText().startsWith(QStringLiteral("[00:01.50]one")));
    window.reset();
    f_.player.Free();
  }
};

QTEST_MAIN(TranslationsTest)
#include "translations_test.moc"
