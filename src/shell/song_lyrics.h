#pragma once

#include <QObject>
#include <string>
#include <thread>

#include "files/file_io.h"

class QAction;
class QWidget;

namespace lirotag {

class LyricEditor;
class LyricFiles;
class Transport;
namespace ui {
class LyricEdit;
}

// The lyric inside the open song: "载入歌曲内嵌歌词" loads it into the lyric box (one undo
// step), "写入歌曲" writes the box's text into the song, and, when the user asked for it
// in the settings, every save of the lyrics writes it into the song too.
class SongLyrics : public QObject {
  Q_OBJECT

 public:
  struct Context {
    QWidget* window = nullptr;
    ui::LyricEdit* box = nullptr;
    LyricEditor* editor = nullptr;
    Transport* transport = nullptr;
    LyricFiles* files = nullptr;
    FileSystem* fs = nullptr;
    std::string configPath;
  };

  // The key in our own section of the configuration file.
  static constexpr char kEmbedOnSaveKey[] = "EmbedLyricsOnSave";

  SongLyrics(Context context, QObject* parent = nullptr);
  // Waits for a write under way: a song is never left half-replaced by a closing window.
  ~SongLyrics() override;

  // For the lyric box's menu and the window's background menu; their shortcuts work in
  // the whole window.
  QAction* LoadAction() const { return load_; }
  QAction* WriteAction() const { return write_; }

  // The settings window's check box "保存歌词时同时写入歌曲" shows and changes the choice.
  void AttachSettingsWindow(QWidget* settingsWindow);
  bool EmbedOnSave() const { return embed_on_save_; }
  void SetEmbedOnSave(bool on);

  // False, after saying why, when nothing was loaded.
  bool LoadFromSong();
  // Writes in the background; Written tells how it went (after any message).
  void WriteToSong();

 signals:
  void Written(bool ok);

 private:
  // Whether the box holds text the user would lose; asks before it is replaced.
  bool MayReplaceText();
  void Say(const QString& text, bool problem);
  void OnWritten(const std::string& song, int error, bool quiet);
  void StartWrite(bool quiet);

  Context c_;
  QAction* load_ = nullptr;
  QAction* write_ = nullptr;
  bool embed_on_save_ = false;
  bool writing_ = false;
  std::thread worker_;
};

}  // namespace lirotag
