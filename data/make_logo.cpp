// Writes the report's logo, drawn by widgets/artwork, to the file named by
// its argument: the build ships it beside the program.
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

#include "widgets/artwork.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tovanix-make-logo FILE.png\n");
        return 2;
    }
    // Drawing text needs the platform's fonts, not a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    if (!tovanix::widgets::reportLogo().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "tovanix-make-logo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
