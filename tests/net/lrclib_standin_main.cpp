// The stand-in lyrics service as a program of its own, for tests of lirotag-cli and for
// trying the window by hand: prints its address, serves until killed.
//   lrclib_standin [--target HEX]

#include <QCoreApplication>
#include <cstdio>

#include "lrclib_standin.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QByteArray target = QByteArray(3, '0') + QByteArray(61, 'f');
  const QStringList args = app.arguments();
  const qsizetype at = args.indexOf(QStringLiteral("--target"));
  if (at > 0 && at + 1 < args.size()) target = args[at + 1].toLatin1();
  lirotag::testing::LrclibStandIn server(target);
  if (!server.Start()) return 2;
  server.AddKnownTracks();
  std::printf("%s\n", qPrintable(server.Url()));
  std::fflush(stdout);
  return app.exec();
}
