#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace lirotag::ui {

// The song's waveform over a span of time under a time ruler, with the playhead, a mark
// at each time tag of the text (the highlighted lines' in the highlight colour, the sung
// line's in green, word tags shorter and lighter). A click seeks there; the wheel zooms
// around the mouse; while the song plays the view follows the playhead. Hovering a mark
// shows its line; dragging a line mark asks for its line's time to move there. It draws
// from ready-made min/max tables only.
class WaveformStrip : public QWidget {
  Q_OBJECT

 public:
  // min/max per column for [start, end) seconds, `n` columns; values in -1..1.
  using Columns = std::function<std::vector<std::pair<float, float>>(double, double, int)>;

  struct Mark {
    double time = 0;
    int line = 0;
    bool word = false;  // a word tag: shown, not dragged
  };

  static constexpr int kRulerHeight = 14;

  explicit WaveformStrip(QWidget* parent = nullptr);

  void SetSong(double lengthSeconds, Columns columns);
  void SetPlayhead(double seconds, bool playing);
  void SetMarks(std::vector<Mark> marks, int highlightFirst, int highlightLast, int sungLine,
                QColor highlightColour);
  // What hovering a mark of `line` shows.
  void SetLineText(std::function<QString(int line)> text) { line_text_ = std::move(text); }
  // How times are written while a mark is dragged.
  void SetThreeDecimals(bool three) { three_decimals_ = three; }
  double ViewStart() const { return view_start_; }
  double ViewEnd() const { return view_end_; }
  // The time under x, in the widget's coordinates.
  double TimeAt(int x) const;
  // Where a time is drawn, in the widget's coordinates.
  int XOf(double seconds) const;
  // The ruler's step between labels, in seconds, at the present zoom.
  double RulerStep() const;
  // While a mark is being dragged: the time it would get, as shown beside it.
  std::optional<double> DragTime() const;
  QString DragText() const;

 signals:
  void SeekRequested(double seconds);
  // A line mark dropped at a new time: line `line`'s tag at `from` should move to `to`.
  void MarkMoved(int line, double from, double to);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void ClampView();
  double TimeAtX(double x) const;
  // The mark nearest to x within a few pixels; -1 when none. Word marks only when
  // `words`.
  int MarkNear(double x, bool words) const;
  void PaintRuler(QPainter& p);

  double length_ = 0;
  Columns columns_;
  double view_start_ = 0;
  double view_end_ = 0;
  double playhead_ = 0;
  std::vector<Mark> marks_;
  int highlight_first_ = 0, highlight_last_ = -1, sung_ = -1;
  QColor highlight_{Qt::red};
  std::function<QString(int)> line_text_;
  bool three_decimals_ = false;
  struct Drag {
    int mark = -1;
    double pressX = 0;
    double x = 0;
    bool moved = false;
  };
  std::optional<Drag> drag_;
};

}  // namespace lirotag::ui
