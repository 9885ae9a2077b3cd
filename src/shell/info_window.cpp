#include "shell/info_window.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "files/file_io.h"
#include "files/lyric_file.h"
#include "tags/read_song_tags.h"
#include "ui/dialogs.h"
#include "ui/group_box_style.h"

namespace lirotag {

namespace {

QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

void Complain(QWidget* parent, const char* caption, const QString& text) {
  ui::MessageBox::Show(parent, QMessageBox::Warning, QString::fromUtf8(caption), text,
                       QMessageBox::Ok);
}

}  // namespace

InfoWindow::InfoWindow(QWidget* owner, AdditionalInfo* info, std::string songPath)
    : QDialog(owner), info_(info), song_path_(std::move(songPath)) {
  setObjectName(QStringLiteral("窗口_附加信息"));
  setWindowTitle(QStringLiteral("附加信息"));
  // The designed outer size 359 × 191, less a standard frame and caption.
  setFixedSize(353, 163);

  auto* group = new QGroupBox(QStringLiteral("信息"), this);
  group->setObjectName(QStringLiteral("分组框1"));
  group->setGeometry(8, 8, 336, 104);
  ui::PutTitleOnFrame(group);
  struct Field {
    const char* label;
    const char* labelName;
    const char* editName;
    QRect labelAt, editAt;
    QLineEdit** edit;
    std::string* value;
  };
  const Field fields[] = {
      {"ti:", "标签1", "编辑框_TI", {16, 24, 16, 16}, {40, 24, 108, 17}, &ti_, &info_->InfoTi},
      {"ar:", "标签4", "编辑框_AR", {168, 24, 16, 16}, {192, 24, 108, 17}, &ar_, &info_->InfoAr},
      {"al:", "标签2", "编辑框_AL", {16, 56, 16, 16}, {40, 56, 108, 17}, &al_, &info_->InfoAl},
      {"by:", "标签3", "编辑框_BY", {168, 56, 16, 16}, {192, 56, 108, 17}, &by_, &info_->InfoBy},
  };
  for (const Field& f : fields) {
    auto* label = new QLabel(QString::fromUtf8(f.label), group);
    label->setObjectName(QString::fromUtf8(f.labelName));
    label->setGeometry(f.labelAt);
    auto* edit = new QLineEdit(Q(*f.value), group);
    edit->setObjectName(QString::fromUtf8(f.editName));
    edit->setGeometry(f.editAt);
    label->setBuddy(edit);  // screen readers name the field by its label
    *f.edit = edit;
  }
  auto* read = new QPushButton(QStringLiteral("读取歌曲TAG"), this);
  read->setObjectName(QStringLiteral("按钮_读取"));
  read->setGeometry(24, 120, 88, 24);
  read->setAutoDefault(false);
  auto* ok = new QPushButton(QStringLiteral("确定"), this);
  ok->setObjectName(QStringLiteral("按钮_确定"));
  ok->setGeometry(144, 120, 64, 24);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("取消"), this);
  cancel->setObjectName(QStringLiteral("按钮_取消"));
  cancel->setGeometry(248, 120, 64, 24);
  cancel->setAutoDefault(false);
  const QList<QWidget*> order = {ti_, ar_, al_, by_, read, ok, cancel};
  for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  connect(read, &QPushButton::clicked, this, &InfoWindow::ReadSongTagsIntoFields);
  connect(ok, &QPushButton::clicked, this, &InfoWindow::Accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void InfoWindow::Accept() {
  info_->InfoTi = ti_->text().toStdString();
  info_->InfoAr = ar_->text().toStdString();
  info_->InfoAl = al_->text().toStdString();
  info_->InfoBy = by_->text().toStdString();
  accept();
}

void InfoWindow::ReadSongTagsIntoFields() {
  if (song_path_.empty()) {
    Complain(this, "出错", QStringLiteral("你没有打开音乐文件"));
    return;
  }
  RealFileSystem fs;
  if (!fs.FileExists(song_path_)) {
    Complain(this, "出错", QStringLiteral("文件") + Q(song_path_) + QStringLiteral("不存在"));
    return;
  }
  SongTags tags;
  std::string picture;
  if (!ReadSongTags(song_path_, &tags, &picture, false)) {
    const size_t dot = song_path_.rfind('.');
    const std::string ext = dot == std::string::npos ? song_path_ : song_path_.substr(dot + 1);
    Complain(this, "读取失败",
             QStringLiteral("还不支持读取(.") + Q(ext) + QStringLiteral(")类型文件的标签"));
    return;
  }
  // Taken at once, not only on "确定": the values stay even when the window is cancelled.
  // What the song lacks keeps what the fields hold, typed or not.
  AdditionalInfo shown{
      ti_->text().toStdString(), ar_->text().toStdString(), al_->text().toStdString(), {}};
  TakeSongTagValues(&shown, tags.Title, tags.Artist, tags.Album);
  info_->InfoTi = shown.InfoTi;
  info_->InfoAr = shown.InfoAr;
  info_->InfoAl = shown.InfoAl;
  ti_->setText(Q(shown.InfoTi));
  ar_->setText(Q(shown.InfoAr));
  al_->setText(Q(shown.InfoAl));
}

}  // namespace lirotag
