#include "shell/recovery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLockFile>
#include <tuple>

#include "files/file_io.h"
#include "lyrics/lyric_box.h"
#include "ui/dialogs.h"
#include "ui/lyric_edit.h"

namespace lirotag {

namespace {

constexpr char kPrefix[] = "recovery-";
constexpr char kSuffix[] = ".txt";
constexpr char kLockSuffix[] = ".lock";
// A recovery file is the text itself; one larger than any lyric can be is no recovery file.
constexpr std::uint64_t kMaxRecoveryBytes = 256ull << 20;

QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

std::string LockPathOf(const std::string& file) {
  return file.substr(0, file.size() - (sizeof kSuffix - 1)) + kLockSuffix;
}

void RemoveFiles(const std::string& file) {
  QFile::remove(Q(file));
  QFile::remove(Q(LockPathOf(file)));
}

}  // namespace

Recovery::Recovery(std::string dir, QWidget* window, ui::LyricEdit& box,
                   std::function<std::string()> songPath, QObject* parent)
    : QObject(parent),
      dir_(std::move(dir)),
      window_(window),
      box_(box),
      song_path_(std::move(songPath)) {
  const std::string stem = kPrefix + std::to_string(QCoreApplication::applicationPid()) + "-" +
                           std::to_string(QDateTime::currentMSecsSinceEpoch());
  file_ = JoinPath(dir_, stem + kSuffix);
  timer_.setSingleShot(true);
  timer_.setInterval(kDelayMs);
  connect(&timer_, &QTimer::timeout, this, &Recovery::Keep);
  // Not restarted by further changes: steady typing is still kept every few seconds.
  connect(box_.document(), &QTextDocument::contentsChanged, this, [this] {
    if (!timer_.isActive()) timer_.start();
  });
  worker_ = std::thread([this] { WorkerLoop(); });
}

Recovery::~Recovery() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    quit_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void Recovery::Keep() {
  RecoveryRecord record;
  record.savedAt =
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
  record.songPath = song_path_ ? song_path_() : std::string();
  record.text = GetLyricText(box_);
  if (range_) std::tie(record.rangeFirst, record.rangeLast) = range_();
  if (!lock_) {
    RealFileSystem fs;
    std::string err;
    fs.MakeDirs(dir_, &err);
    lock_ = std::make_unique<QLockFile>(Q(LockPathOf(file_)));
    lock_->setStaleLockTime(0);
    lock_->tryLock(0);
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    pending_ = std::move(record);
  }
  wake_.notify_all();
}

void Recovery::WorkerLoop() {
  RealFileSystem fs;
  std::unique_lock<std::mutex> lock(mu_);
  while (true) {
    wake_.wait(lock, [this] { return quit_ || pending_; });
    if (!pending_) return;  // quitting with nothing left to write
    const std::string bytes = SerializeRecovery(*pending_);
    pending_.reset();
    writing_ = true;
    lock.unlock();
    std::string err;
    fs.WriteFileAtomic(file_, bytes, &err);  // a failure is retried with the next change
    lock.lock();
    writing_ = false;
    idle_.notify_all();
    if (quit_ && !pending_) return;
  }
}

void Recovery::Flush() {
  if (timer_.isActive()) {
    timer_.stop();
    Keep();
  }
  std::unique_lock<std::mutex> lock(mu_);
  idle_.wait(lock, [this] { return !pending_ && !writing_; });
}

void Recovery::Discard() {
  timer_.stop();
  {
    std::unique_lock<std::mutex> lock(mu_);
    pending_.reset();
    idle_.wait(lock, [this] { return !writing_; });
  }
  QFile::remove(Q(file_));
}

void Recovery::OfferLeftovers(const std::function<void(const RecoveryRecord&)>& restore) {
  RealFileSystem fs;
  for (const std::string& name : fs.ListFiles(dir_, kPrefix, kSuffix)) {
    const std::string file = JoinPath(dir_, name);
    if (file == file_) continue;
    QLockFile owner(Q(LockPathOf(file)));
    owner.setStaleLockTime(0);  // only a window that is gone gives its file up
    if (!owner.tryLock(0)) continue;
    std::string bytes, err;
    RecoveryRecord record;
    if (!fs.ReadFile(file, &bytes, &err, kMaxRecoveryBytes) ||
        !ParseRecovery(bytes, &record, &err)) {
      const QString aside = Q(file) + QStringLiteral(".damaged");
      QFile::remove(aside);
      QFile::rename(Q(file), aside);
      ui::MessageBox::Show(
          window_, QMessageBox::Warning, QStringLiteral("恢复歌词"),
          QStringLiteral("上次留下的恢复文件已损坏，无法恢复。\n它已被移到：\n") + aside,
          QMessageBox::Ok);
    } else {
      QString text = QStringLiteral("上次编辑的歌词没有保存，程序就意外关闭了。\n保留于：") +
                     Q(record.savedAt);
      if (!record.songPath.empty()) text += QStringLiteral("\n歌曲：") + Q(record.songPath);
      text += QStringLiteral("\n\n") + Q(RecoveryPreview(record.text, 5, 40)) +
              QStringLiteral("\n是否恢复这些歌词？");
      if (ui::MessageBox::Show(window_, QMessageBox::Question, QStringLiteral("恢复歌词"), text,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        restore(record);
    }
    owner.unlock();
    RemoveFiles(file);
  }
}

}  // namespace lirotag
