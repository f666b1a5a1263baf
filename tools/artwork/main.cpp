// Writes the pictures the programs ship with:
//   artwork harrow.ico <path>     the pointer over the About tab's web link
//   artwork icon <size> <path>    the program icon as PNG
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/artwork/Artwork.h"

namespace {

int usage() {
    std::fputs("usage: artwork harrow.ico PATH | artwork icon SIZE PATH\n", stderr);
    return 2;
}

// Saves and reads the file back, so a build never ships a picture Qt cannot load.
int save(const QImage& image, const QString& path, const char* format) {
    QImageWriter writer(path, format);
    if (!writer.write(image)) {
        std::fprintf(stderr, "artwork: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return 1;
    }
    QImageReader reader(path);
    const QImage back = reader.read();
    if (back.size() != image.size()) {
        std::fprintf(stderr, "artwork: %s does not read back: %s\n", qPrintable(path),
                     qPrintable(reader.errorString()));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Drawing text needs fonts but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "harrow.ico") == 0) {
        return save(artwork::HandPointer(), QString::fromLocal8Bit(argv[2]), "ico");
    }
    if (argc == 4 && std::strcmp(argv[1], "icon") == 0) {
        int size = 0;
        try {
            size = std::stoi(argv[2]);
        } catch (...) {
            return usage();
        }
        if (size < 16 || size > 512) return usage();
        return save(artwork::ProgramIcon(size), QString::fromLocal8Bit(argv[3]), "png");
    }
    return usage();
}
