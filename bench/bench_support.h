// What the benchmarks share: a prompter that prints what the program would
// show, and large pictures made once in a temporary folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>
#include <string>

#include "platform/prompter.h"

class BenchPrompter : public Prompter {
public:
    explicit BenchPrompter(const char* bench) : bench_(bench) {}
    MessageResult Show(const MessageOwner&, const MessageStyle& style, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", bench_, text.c_str());
        return DefaultAnswer(style.buttons);
    }
    MergeChoice AskMerge(const std::string&) override { return MergeChoice::Cancel; }

private:
    const char* bench_;
};

// Picture `i` of a set of 2000 x 2000 PNG files in `folderName` under the
// temporary folder, made on first use.
inline std::string BigBenchPicture(const QString& folderName, int i) {
    const QString folder = QDir::tempPath() + "/" + folderName;
    QDir().mkpath(folder);
    const QString path = folder + QString("/big%1.png").arg(i);
    if (!QFile::exists(path)) {
        QImage image(2000, 2000, QImage::Format_RGB32);
        for (int y = 0; y < 2000; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < 2000; ++x) row[x] = qRgb(x / 8 + i * 40, y / 8, (x * y + i) & 0xFF);
        }
        image.save(path, "PNG");
    }
    return path.toStdString();
}
