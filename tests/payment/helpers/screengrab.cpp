// Saves what an X display shows, the whole screen at its own resolution, as a PNG file:
//   screengrab FILE   (the display is $DISPLAY)
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_SCALE_FACTOR", "1");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screengrab FILE\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "screengrab: cannot grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
