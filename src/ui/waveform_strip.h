#pragma once

#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

namespace lirotag::ui {

// The song's waveform over a span of time, with the playhead, a mark at each time tag
// of the text, the highlighted line's tags in the highlight colour and the sung line's
// in another. A click seeks there; the wheel zooms around the mouse; while the song
// plays the view follows the playhead. It draws from ready-made min/max tables only.
class WaveformStrip : public QWidget {
  Q_OBJECT

 public:
  // min/max per column for [start, end) seconds, `n` columns; values in -1..1.
  using Columns = std::function<std::vector<std::pair<float, float>>(double, double, int)>;

  explicit WaveformStrip(QWidget* parent = nullptr);

  void SetSong(double lengthSeconds, Columns columns);
  void SetPlayhead(double seconds, bool playing);
  void SetMarks(std::vector<double> all, std::vector<double> highlighted, std::vector<double> sung,
                QColor highlightColour);
  double ViewStart() const { return view_start_; }
  double ViewEnd() const { return view_end_; }
  // The time under x, in the widget's coordinates.
  double TimeAt(int x) const;

 signals:
  void SeekRequested(double seconds);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  int XOf(double seconds) const;
  void ClampView();

  double length_ = 0;
  Columns columns_;
  double view_start_ = 0;
  double view_end_ = 0;
  double playhead_ = 0;
  std::vector<double> marks_, highlighted_, sung_;
  QColor highlight_{Qt::red};
};

}  // namespace lirotag::ui
