#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "audio/audio_engine.h"
#include "files/file_io.h"
#include "files/lyric_encodings.h"
#include "lyrics/info_tags.h"
#include "lyrics/subtitles.h"
#include "shell/settings.h"
#include "tags/read_song_tags.h"

class QAction;
class QPushButton;
class QWidget;

namespace lirotag {

class LyricEditor;
class Player;
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
    Player* player = nullptr;  // the open song's length ends exported subtitles
  };

  LyricFiles(const Settings& settings, Transport& transport, ui::LyricEdit& box,
             LyricEditor& editor, Services services, Controls controls, QObject* parent = nullptr);
  ~LyricFiles() override;

  void ChooseLyricFile();
  // Replaces the text with the file's, in the encoding detected; on failure says so and
  // leaves the text alone.
  bool LoadLyricFile(const std::string& path);
  // The last loaded file read again from disk in `encoding` (a name of LyricEncodings()),
  // as the lyric box's "重新载入为" menu does; false, and nothing changed, when there is
  // no such file or encoding.
  bool ReloadLyricFileAs(const std::string& encoding);
  void SetAdditionalInfo();
  // True once the text is in the file.
  bool SaveLyrics();
  // "导出字幕": the text as subtitles, in a file and format the user chooses, whatever
  // the saving settings; the lyric stays as it is and unsaved. True once written.
  bool ExportSubtitlesAs();
  QAction* ExportAction() const { return export_; }
  // Asked before a readable file is loaded over the text; false keeps the text and loads
  // nothing.
  // The open song's tags changed on disk: they are read anew when next needed.
  void ForgetSongTags() { song_tags_.read = false; }
  void SetBeforeLoad(std::function<bool()> mayReplace) { before_load_ = std::move(mayReplace); }
  // Where the save dialog starts: the song's name with ".lrc" in the song's folder, or
  // without a song the last lyric file's, saved or loaded.
  std::string ProposedSavePath() const;
  const std::string& LastSavedPath() const { return last_saved_path_; }

  const AdditionalInfo& Info() const { return info_; }
  const std::string& LastLoadedPath() const { return last_loaded_path_; }
  // The encoding the last loaded file was read in, detected or chosen.
  const std::string& LastLoadedEncoding() const { return last_loaded_encoding_; }

 signals:
  // The lyric text is safe in a file now (LastSavedPath()).
  void Saved();
  // The text was read from a lyric file (LastLoadedPath()).
  void Loaded();

 private:
  // Fast mode's values from the song, or the user's from the window; false to leave
  // the text as it was.
  bool ChooseInfoValues(AdditionalInfo* info);
  // The open song's tags, read once per opened song; false when its type has no reader
  // or the file is gone (then nothing is remembered).
  bool ReadOpenSongTags();
  void PlayConfirmation();
  // Before a GBK save of text GBK cannot hold whole: the user may switch this save to
  // UTF-8 or UTF-16 (`*encoding` becomes 2 or 1), keep GBK, or cancel (false).
  bool ConfirmGbk(const std::string& text, int* encoding);
  bool ReadLyricFile(const std::string& path, const LyricEncoding* chosen);
  void BuildReloadMenu();
  // Writes the text as subtitles to `path`; the open song's length ends the last cue.
  bool ExportTo(SubtitleFormat format, const std::string& path);
  void ShowLoadedEncoding();

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
  std::string last_loaded_encoding_;
  std::string last_saved_path_;
  std::function<bool()> before_load_;
  AudioHandle chime_ = 0;
  QAction* export_ = nullptr;
};

}  // namespace lirotag
