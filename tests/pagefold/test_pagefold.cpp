// The PDF library: JPEG headers, pages checked with poppler's tools, failures
// that must leave the folder as it was.
#include "jpegheader.h"
#include "pagefold.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <turbojpeg.h>

#include <vector>

namespace {
QByteArray segment(quint8 marker, const QByteArray &payload)
{
    const int length = int(payload.size()) + 2;
    return QByteArray("\xff") + char(marker) + char(length >> 8) + char(length & 0xff) + payload;
}

QByteArray jfif(quint8 unit, int x, int y)
{
    return segment(0xe0, QByteArray("JFIF\0\1\2", 7) + char(unit) + char(x >> 8) + char(x & 0xff) +
                             char(y >> 8) + char(y & 0xff) + QByteArray(2, '\0'));
}

QByteArray frame(quint8 marker, int precision, int width, int height, int components)
{
    return segment(marker, QByteArray() + char(precision) + char(height >> 8) +
                               char(height & 0xff) + char(width >> 8) + char(width & 0xff) +
                               char(components) + QByteArray(components * 3, '\x11'));
}

// The header part of a JPEG, a token scan and the end marker.
QByteArray jpeg(const QByteArray &segments)
{
    return "\xff\xd8" + segments + segment(0xda, QByteArray(8, '\0')) + "\x12\x34\xff\xd9";
}

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return process.readAllStandardOutput();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 7, y * 5, (x + y) * 3));
    return image;
}

// libturbojpeg marks no density (aspect ratio 1:1) and writes CMYK with an
// Adobe marker, as Photoshop does.
QByteArray turboJpeg(int width, int height, TJPF format, TJSAMP subsampling)
{
    const int channels = tjPixelSize[format];
    std::vector<unsigned char> pixels(size_t(width) * height * channels);
    for (size_t at = 0; at < pixels.size(); ++at)
        pixels[at] = (unsigned char)(at * 13 / channels);
    tjhandle handle = tjInitCompress();
    unsigned char *data = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, pixels.data(), width, 0, height, format, &data, &size, subsampling, 80, 0);
    const QByteArray result(reinterpret_cast<const char *>(data), qsizetype(size));
    tjFree(data);
    tjDestroy(handle);
    return result;
}

bool makePdf(const QStringList &images, const QString &pdf)
{
    ClearAll();
    for (const QString &image : images)
        AddImage(image.isNull() ? nullptr : QFile::encodeName(image).constData());
    return MakePDF(QFile::encodeName(pdf).constData(), nullptr);
}

// Every file under the folder with its contents.
QMap<QString, QByteArray> contentsOf(const QString &folder)
{
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QString &name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        contents[name] = readFile(dir.filePath(name));
    return contents;
}
} // namespace

class TestPagefold : public QObject
{
    Q_OBJECT

private slots:
    void readsJpegHeaders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected"); // size, components, dpi, Adobe marker
        const auto row = [](const char *name, const QByteArray &bytes, const char *expected) {
            QTest::newRow(name) << bytes << QString(expected);
        };
        const QByteArray adobe = segment(0xee, QByteArray("Adobe\0\144\0\0\0\0\2", 12));
        row("JFIF per inch", jpeg(jfif(1, 72, 144) + frame(0xc0, 8, 640, 480, 3)),
            "640x480 3 72/144");
        row("JFIF per cm", jpeg(jfif(2, 100, 100) + frame(0xc2, 8, 10, 20, 1)), "10x20 1 254/254");
        row("JFIF aspect only", jpeg(jfif(0, 1, 1) + frame(0xc1, 8, 4000, 3000, 3)),
            "4000x3000 3 300/300");
        row("JFIF density 0", jpeg(jfif(1, 0, 0) + frame(0xc0, 8, 8, 8, 3)), "8x8 3 300/300");
        row("Adobe CMYK, fill bytes", jpeg(adobe + "\xff\xff" + frame(0xc0, 8, 30, 40, 4)),
            "30x40 4 300/300 A");
        row("padding after the end", jpeg(frame(0xc0, 8, 8, 8, 1)) + QByteArray(16, '\0'),
            "8x8 1 300/300");
        row("empty", QByteArray(), "invalid");
        row("PNG", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(20, '\0'),
            "invalid");
        row("no frame", jpeg(jfif(1, 72, 72)), "invalid");
        row("cut short", jpeg(frame(0xc0, 8, 8, 8, 3)).chopped(2), "invalid");
        row("12-bit", jpeg(frame(0xc1, 12, 8, 8, 3)), "invalid");
        row("lossless", jpeg(frame(0xc3, 8, 8, 8, 3)), "invalid");
        row("zero height", jpeg(frame(0xc0, 8, 8, 0, 3)), "invalid");
        row("two components", jpeg(frame(0xc0, 8, 8, 8, 2)), "invalid");
        row("segment past the end", "\xff\xd8\xff\xe0\x40\x00JFIF\xff\xd9", "invalid");
    }

    void readsJpegHeaders()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const auto h = pagefold::readJpegHeader(std::string_view(bytes.constData(), bytes.size()));
        QCOMPARE(!h ? QString("invalid")
                    : QString("%1x%2 %3 %4/%5%6")
                          .arg(h->width)
                          .arg(h->height)
                          .arg(h->components)
                          .arg(h->dpiX)
                          .arg(h->dpiY)
                          .arg(h->adobe ? " A" : ""),
                 expected);
    }

    void makesOnePagePerImageInOrder()
    {
        QTemporaryDir folder;
        const QString pdf = folder.filePath("pages.pdf");
        writeFile(pdf, "an older PDF");

        // Qt writes a JFIF density from the image's dots per metre.
        QImage colour = pattern(400, 300);
        colour.setDotsPerMeterX(qRound(150 / 0.0254));
        colour.setDotsPerMeterY(qRound(150 / 0.0254));
        const QStringList images{folder.filePath("colour.jpg"), folder.filePath("gray page.jpg"),
                                 folder.filePath("cmyk.jpg")};
        QVERIFY(colour.save(images[0], "JPEG"));
        writeFile(images[1], turboJpeg(120, 360, TJPF_GRAY, TJSAMP_GRAY));
        writeFile(images[2], turboJpeg(90, 60, TJPF_CMYK, TJSAMP_444));
        QVERIFY(makePdf(images, pdf));

        const QString info = run("pdfinfo", {"-f", "1", "-l", "3", pdf});
        const QString list = run("pdfimages", {"-list", pdf});
        for (const auto &[text, pattern] :
             {std::pair{info, "Pages: +3\n"},
              {info, "Page +1 size: +192 x 144 pts"},
              {info, "Page +2 size: +28.8 x 86.4 pts"},
              {info, "Page +3 size: +21.6 x 14.4 pts"},
              {list, R"(\n +1 +0 image +400 +300 +rgb +3 +8 +jpeg )"},
              {list, R"(\n +2 +1 image +120 +360 +gray +1 +8 +jpeg )"},
              {list, R"(\n +3 +2 image +90 +60 +cmyk +4 +8 +jpeg )"}})
            QVERIFY2(text.contains(QRegularExpression(pattern)),
                     qPrintable(pattern + ('\n' + text)));

        run("pdfimages", {"-j", pdf, folder.filePath("out")});
        for (int page = 0; page < images.size(); ++page)
            QCOMPARE(readFile(folder.filePath(QString("out-%1.jpg").arg(page, 3, 10, QChar('0')))),
                     readFile(images[page]));
    }

    // Each failure leaves the folder as it was; "good.jpg" is a JPEG.
    void failsWithoutWriting()
    {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        QVERIFY(pattern(64, 48).save(dir.filePath("good.jpg"), "JPEG"));
        writeFile(dir.filePath("text.jpg"), "no picture here");
        writeFile(dir.filePath("cut.jpg"), readFile(dir.filePath("good.jpg")).left(300));
        writeFile(dir.filePath("old.pdf"), "the PDF made before");
        QVERIFY(dir.mkdir("folder"));
        const QMap<QString, QByteArray> before = contentsOf(folder.path());
        const std::pair<QStringList, QString> cases[] = {
            {{}, "old.pdf"},                          // no images
            {{"good.jpg", "missing.jpg"}, "old.pdf"}, // a missing image
            {{"text.jpg", "good.jpg"}, "old.pdf"},    // not a JPEG
            {{"good.jpg", "cut.jpg"}, "old.pdf"},     // a JPEG cut short
            {{"folder"}, "old.pdf"},                  // an image that is a folder
            {{"good.jpg", QString()}, "old.pdf"},     // a null image
            {{"good.jpg"}, "none/new.pdf"},           // no such folder
            {{"good.jpg"}, "folder"}};                // the PDF path is a folder
        for (const auto &[images, pdf] : cases) {
            QStringList paths;
            for (const QString &image : images)
                paths << (image.isNull() ? QString() : dir.filePath(image));
            QVERIFY2(!makePdf(paths, dir.filePath(pdf)), qPrintable(images.join(',') + " " + pdf));
            QCOMPARE(contentsOf(folder.path()), before);
        }
        // A text layer that is missing or no PDF fails its page too.
        for (const char *layer : {"missing.pdf", "text.jpg"}) {
            ClearAll();
            QVERIFY(AddImageWithText(QFile::encodeName(dir.filePath("good.jpg")).constData(),
                                     QFile::encodeName(dir.filePath(layer)).constData()));
            QVERIFY(!MakePDF(QFile::encodeName(dir.filePath("old.pdf")).constData(), nullptr));
            QCOMPARE(contentsOf(folder.path()), before);
        }
    }
};

QTEST_GUILESS_MAIN(TestPagefold)
#include "test_pagefold.moc"
