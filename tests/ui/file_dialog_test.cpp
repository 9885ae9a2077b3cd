#include "ui/file_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <QtTest>

using lirotag::ui::FileDialog;
using lirotag::ui::FileDialogOptions;

class FileDialogTest : public QObject {
  Q_OBJECT

  // Acts on the dialog once it is up, as a user would.
  template <typename Fn>
  void WhenDialogShows(Fn fn) {
    QTimer::singleShot(0, this, [fn] {
      QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
      fn(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
    });
  }

 private slots:
  void filtersBecomeQtNameFilters() {
    QCOMPARE(
        lirotag::ui::ToQtNameFilters("LRC歌词|*.LRC|所有文件|*.*"),
        QStringList({QStringLiteral("LRC歌词 (*.LRC *.lrc)"), QStringLiteral("所有文件 (*)")}));
    QCOMPARE(lirotag::ui::ToQtNameFilters("基本(*.mp3;*.ogg)|*.mp3;*.ogg|"),
             QStringList({QStringLiteral("基本(*.mp3;*.ogg) (*.mp3 *.MP3 *.ogg *.OGG)")}));
    QCOMPARE(lirotag::ui::ToQtNameFilters(""), QStringList());
    QCOMPARE(lirotag::ui::ToQtNameFilters("dangling"), QStringList());
  }

  void saveAddsTheDefaultExtension() {
    QTemporaryDir dir;
    WhenDialogShows([&](QFileDialog* dialog) {
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
      QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
      QVERIFY(dialog->filter() & QDir::Hidden);
      dialog->selectFile(dir.filePath(QStringLiteral("歌")));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    FileDialogOptions options;
    options.save = true;
    options.filter = "LRC歌词|*.LRC|所有文件|*.*";
    options.defaultExtension = "lrc";
    options.showHidden = true;
    std::string path;
    QVERIFY(FileDialog(options, &path));
    QCOMPARE(QString::fromStdString(path), dir.filePath(QStringLiteral("歌.lrc")));
  }

  // The type chosen is reported, and a bare name gets that type's extension.
  void saveTellsTheTypeChosen() {
    QTemporaryDir dir;
    WhenDialogShows([&](QFileDialog* dialog) {
      auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      QVERIFY(types);
      QTest::keyClick(types, Qt::Key_Down);  // "SRT 字幕"
      dialog->selectFile(dir.filePath(QStringLiteral("歌")));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    FileDialogOptions options;
    options.save = true;
    options.filter = "LRC歌词|*.LRC|SRT 字幕|*.srt|所有文件|*.*";
    options.defaultExtension = "lrc";
    std::string path, type;
    QVERIFY(FileDialog(options, &path, &type));
    QCOMPARE(type, std::string("SRT 字幕"));
    QCOMPARE(QString::fromStdString(path), dir.filePath(QStringLiteral("歌.srt")));
  }

  void openWantsAnExistingFile() {
    QTemporaryDir dir;
    QFile existing(dir.filePath(QStringLiteral("a.mp3")));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    WhenDialogShows([&](QFileDialog* dialog) {
      QCOMPARE(dialog->windowTitle(), QStringLiteral("选择歌曲"));
      QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);  // a missing name is refused
      QCOMPARE(dialog->directory().absolutePath(), dir.path());
      dialog->selectFile(existing.fileName());
      QMetaObject::invokeMethod(dialog, "accept");
    });
    FileDialogOptions options;
    options.filter = "基本(*.mp3)|*.mp3|所有文件(*.*)|*.*";
    options.title = "选择歌曲";
    options.initialFolder = dir.path().toStdString();
    std::string path;
    QVERIFY(FileDialog(options, &path));
    QCOMPARE(QString::fromStdString(path), existing.fileName());
  }

  // "所有文件(*.*)" means every file, one without an extension too.
  void allFilesShowsFilesWithoutExtension() {
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath(QStringLiteral("README"))).open(QIODevice::WriteOnly));
    QString listed;  // checked once the dialog is closed: a failed check would leave it open
    WhenDialogShows([&](QFileDialog* dialog) {
      if (auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"))) {
        // The folder is read in the background.
        static_cast<void>(
            QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }));
        listed = view->model()->index(0, 0, view->rootIndex()).data().toString();
      }
      dialog->reject();
    });
    FileDialogOptions options;
    options.filter = "所有文件(*.*)|*.*";
    options.initialFolder = dir.path().toStdString();
    std::string path;
    FileDialog(options, &path);
    QCOMPARE(listed, QStringLiteral("README"));
  }

  void cancelGivesFalseAndAnEmptyPath() {
    WhenDialogShows([](QFileDialog* dialog) { dialog->reject(); });
    std::string path = "left over";
    QVERIFY(!FileDialog(FileDialogOptions{}, &path));
    QVERIFY(path.empty());
  }
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
