#pragma once

#include <QObject>
#include <optional>

#include "audio/player.h"

class QTimer;
class QWidget;

namespace lirotag {

class LyricEditor;
class Transport;
namespace ui {
class LyricEdit;
}

// Alt+L: the highlighted line heard again, from its earliest time to the time of the
// line sung after it (the next later tag of the whole text, or the song's end), where
// playing pauses. Pressed again, the same again. Wherever the focus is; in the lyric box
// the caret's line.
class LineReplay : public QObject {
  Q_OBJECT

 public:
  struct Controls {
    QWidget* window = nullptr;
    ui::LyricEdit* box = nullptr;
    LyricEditor* editor = nullptr;
    Transport* transport = nullptr;
  };

  LineReplay(Player& player, Controls controls, QObject* parent = nullptr);

  void Replay();
  // Where the replay pauses; none while no replay runs.
  std::optional<double> StopTime() const { return stop_; }

 private:
  void Watch();
  void Tell(const QString& text);

  Player& player_;
  Controls c_;
  QTimer* watch_ = nullptr;
  std::optional<double> stop_;
};

}  // namespace lirotag
