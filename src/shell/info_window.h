#pragma once

#include <QDialog>
#include <string>

#include "lyrics/info_tags.h"

class QLineEdit;

namespace lirotag {

// The modal window "附加信息": the four values of the lyric's header, offered from
// `info` and copied back into it by "确定". "读取歌曲TAG" fills title, artist and album
// from the song's own tags at once.
class InfoWindow : public QDialog {
  Q_OBJECT

 public:
  InfoWindow(QWidget* owner, AdditionalInfo* info, std::string songPath);

 private:
  void Accept();
  void ReadSongTagsIntoFields();

  AdditionalInfo* info_;
  std::string song_path_;
  QLineEdit* ti_ = nullptr;
  QLineEdit* ar_ = nullptr;
  QLineEdit* al_ = nullptr;
  QLineEdit* by_ = nullptr;
};

}  // namespace lirotag
