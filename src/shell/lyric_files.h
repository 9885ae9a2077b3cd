#pragma once

#include <QObject>
#include <string>

#include "audio/audio_engine.h"
#include "files/file_io.h"
#include "lyrics/info_tags.h"
#include "shell/settings.h"
#include "tags/read_song_tags.h"

class QPushButton;
class QWidget;

namespace lirotag {

class LyricEditor;
class Transport;
namespace ui {
class LyricEdit;
}

// The "歌词" group: loading a lyric file, the additional information ([ti:] [ar:] [al:]
// [by:]) and saving the LRC file.
class LyricFiles : public QObject {
  Q_OBJECT

 public:
  struct Controls {
    QWidget* window = nullptr;
    QPushButton* load = nullptr;
    QPushButton* setInfo = nullptr;
    QPushButton* save = nullptr;
  };
  struct Services {
    FileSystem* fs = nullptr;
    AudioEngine* engine = nullptr;
  };

  LyricFiles(const Settings& settings, Transport& transport, ui::LyricEdit& box,
             LyricEditor& editor, Services services, Controls controls, QObject* parent = nullptr);
  ~LyricFiles() override;

  void ChooseLyricFile();
  // Replaces the text with the file's; on failure says so and leaves the text alone.
  bool LoadLyricFile(const std::string& path);
  void SetAdditionalInfo();
  void SaveLyrics();

  const AdditionalInfo& Info() const { return info_; }
  const std::string& LastLoadedPath() const { return last_loaded_path_; }

 signals:
  // The lyric text is safe in a file now.
  void Saved();

 private:
  // Fast mode's values from the song, or the user's from the window; false to leave
  // the text as it was.
  bool ChooseInfoValues(AdditionalInfo* info);
  // The open song's tags, read once per opened song; false when its type has no reader
  // or the file is gone (then nothing is remembered).
  bool ReadOpenSongTags();
  void PlayConfirmation();

  const Settings& settings_;
  Transport& transport_;
  ui::LyricEdit& box_;
  LyricEditor& editor_;
  RealFileSystem own_fs_;
  Services s_;
  Controls c_;
  AdditionalInfo info_;
  SongTagsCache song_tags_;
  std::string last_loaded_path_;
  AudioHandle chime_ = 0;
};

}  // namespace lirotag
