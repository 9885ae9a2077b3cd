// Draws the program's icon: writes it as SVG and as PNG at the sizes desktops ask for,
// from one description, so that every size shows the same picture.
//   make_icon OUT_DIR
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "ui/program_icon.h"

namespace {

const char kSvg[] = R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="tile" x1="0" y1="8" x2="0" y2="248" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="#2f75b5"/>
      <stop offset="1" stop-color="#1a3f6f"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="48" ry="48" fill="url(#tile)"/>
  <g fill="none" stroke="#ffffff" stroke-width="14" stroke-linecap="square" stroke-linejoin="miter">
    <polyline points="84,64 62,64 62,192 84,192"/>
    <polyline points="172,64 194,64 194,192 172,192"/>
  </g>
  <g stroke="#f0b94e" stroke-width="12" stroke-linecap="butt">
    <line x1="148" y1="80" x2="148" y2="160"/>
    <path d="M148 82 C170 88 180 102 170 122" fill="none"/>
  </g>
  <ellipse cx="130" cy="164" rx="24" ry="18" fill="#f0b94e"/>
</svg>
)svg";

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUT_DIR\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QFile svg(out.filePath(QStringLiteral("lirotag.svg")));
  if (!svg.open(QIODevice::WriteOnly) || svg.write(kSvg) != qint64(sizeof kSvg - 1)) return 2;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(size / 256.0, size / 256.0);
    lirotag::ui::PaintProgramIcon(painter);
    painter.end();
    if (!image.save(out.filePath(QStringLiteral("lirotag-%1.png").arg(size)))) return 2;
  }
  return 0;
}
