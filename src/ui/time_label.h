#ifndef LIROTAG_UI_TIME_LABEL_H
#define LIROTAG_UI_TIME_LABEL_H

#include <QLabel>
#include <QStaticText>
#include <array>
#include <string_view>

namespace lirotag::ui {

// A label for a clock that is rewritten ten times a second while a song plays.
//
// It stays a QLabel (its text, accessible name and style sheet rules are a QLabel's),
// but a time is drawn from glyphs laid out once per character instead of shaping the
// whole text anew at every change, and the label paints its own background so that
// its parent is not repainted under it. A text with anything but the characters of a
// time (a caption, a Chinese message) is drawn as any QLabel draws it.
//
// The label keeps the size it was given. A text wider than that is drawn whole, in the
// largest smaller size of the label's font that holds it, never cut off.
class TimeLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TimeLabel(QWidget* parent = nullptr);

  // The font the text is drawn in: the label's own, or a smaller one that holds it.
  QFont ShownFont() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // What a time, a speed beside it or a negative offset is written with.
  static constexpr std::u16string_view kTimeCharacters = u"0123456789:.-+ \u00d7";

  struct Glyph {
    bool ready = false;
    QStaticText text;
    qreal advance = 0;
  };
  // Null when the character is not one a time is written with.
  const Glyph* GlyphOf(QChar c);

  std::array<Glyph, kTimeCharacters.size()> glyphs_;
  // The font that holds `shown`, kept for `key` (the text, or a time's width) until the
  // key, the font or the size change.
  QFont FontFor(const QString& shown, const QString& key) const;
  mutable bool fitted_ = false;
  mutable QString fitted_key_;
  mutable QFont fitted_font_;
  QList<const Glyph*> line_;  // kept between paints to spare an allocation
};

}  // namespace lirotag::ui

#endif  // LIROTAG_UI_TIME_LABEL_H
