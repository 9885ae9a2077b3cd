#pragma once

// The yardstick of the start-up benchmarks: a bare window holding the main window's
// controls in the same places, with no engine, no plug-ins and no settings.
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QWidget>
#include <memory>

namespace bench {

inline constexpr int kBareWidth = 580;
inline constexpr int kBareHeight = 630;

inline QPushButton* Button(QWidget* parent, const char* caption, QRect geometry) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setGeometry(geometry);
  return b;
}

inline QGroupBox* Group(QWidget* parent, const char* caption, QRect geometry) {
  auto* g = new QGroupBox(QString::fromUtf8(caption), parent);
  g->setGeometry(geometry);
  return g;
}

// The main window's controls, captions and geometry, and nothing else.
inline std::unique_ptr<QWidget> BareWindow() {
  auto w = std::make_unique<QWidget>();
  w->setWindowTitle(QStringLiteral("Lirotag"));
  QGroupBox* play = Group(w.get(), "歌曲控制", {8, 4, 560, 56});
  Button(play, "打开", {12, 20, 64, 24});
  Button(play, "播放(&P)", {76, 20, 64, 24});
  Button(play, "关闭", {140, 20, 64, 24});
  (new QSlider(Qt::Horizontal, play))->setGeometry(204, 20, 96, 24);
  (new QSlider(Qt::Horizontal, play))->setGeometry(300, 20, 252, 24);
  QGroupBox* lyrics = Group(w.get(), "歌词", {9, 64, 98, 104});
  Button(lyrics, "从文件载入", {8, 16, 80, 24});
  Button(lyrics, "设置附加信息", {8, 44, 80, 24});
  Button(lyrics, "保存歌词", {8, 72, 80, 24});
  QGroupBox* selection = Group(w.get(), "对选中部分", {9, 171, 98, 187});
  int top = 16;
  for (const char* caption :
       {"删除标签(&D)", "替换标签(&R)", "加入标签(&A)", "拆分标签", "按时间排序", "跳到进度"}) {
    Button(selection, caption, {8, top, 80, 24});
    top += 28;
  }
  QGroupBox* whole = Group(w.get(), "对全部", {9, 362, 98, 104});
  Button(whole, "整合偏移值", {8, 15, 80, 24});
  Button(whole, "删除空行", {8, 43, 80, 24});
  Button(whole, "折叠相同文本", {8, 71, 80, 24});
  (new QLabel(QStringLiteral("(无文件)"), w.get()))->setGeometry(9, 469, 96, 16);
  (new QLabel(QStringLiteral("(无文件)"), w.get()))->setGeometry(9, 485, 96, 16);
  Button(w.get(), "设置", {17, 503, 80, 24});
  Button(w.get(), "快捷键", {17, 531, 80, 24});
  Button(w.get(), "关于", {17, 559, 80, 24});
  (new QPlainTextEdit(w.get()))->setGeometry(120, 70, 448, 550);
  w->resize(kBareWidth, kBareHeight);
  return w;
}

}  // namespace bench
