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

using pagefold::JpegHeader;

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
    if (!process.waitForFinished() || process.exitCode() != 0)
        qWarning() << program << arguments << process.readAllStandardError();
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

QImage pattern(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 7, y * 5, (x + y) * 3));
    return image.convertToFormat(format);
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
    void readsJpegHeaders_data();
    void readsJpegHeaders();
    void makesOnePagePerImageInOrder();
    void failsWithoutWriting_data();
    void failsWithoutWriting();
};

void TestPagefold::readsJpegHeaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("components");
    QTest::addColumn<double>("dpiX");
    QTest::addColumn<double>("dpiY");
    QTest::addColumn<bool>("adobe");

    const QByteArray adobe = segment(0xee, QByteArray("Adobe\0\144\0\0\0\0\2", 12));
    QTest::newRow("JFIF per inch") << jpeg(jfif(1, 72, 144) + frame(0xc0, 8, 640, 480, 3)) << true
                                   << 640 << 480 << 3 << 72.0 << 144.0 << false;
    QTest::newRow("JFIF per cm") << jpeg(jfif(2, 100, 100) + frame(0xc2, 8, 10, 20, 1)) << true
                                 << 10 << 20 << 1 << 254.0 << 254.0 << false;
    QTest::newRow("JFIF aspect only") << jpeg(jfif(0, 1, 1) + frame(0xc1, 8, 4000, 3000, 3)) << true
                                      << 4000 << 3000 << 3 << 300.0 << 300.0 << false;
    QTest::newRow("JFIF density 0") << jpeg(jfif(1, 0, 0) + frame(0xc0, 8, 8, 8, 3)) << true << 8
                                    << 8 << 3 << 300.0 << 300.0 << false;
    QTest::newRow("Adobe CMYK, fill bytes") << jpeg(adobe + "\xff\xff" + frame(0xc0, 8, 30, 40, 4))
                                            << true << 30 << 40 << 4 << 300.0 << 300.0 << true;
    QTest::newRow("padding after the end") << jpeg(frame(0xc0, 8, 8, 8, 1)) + QByteArray(16, '\0')
                                           << true << 8 << 8 << 1 << 300.0 << 300.0 << false;

    const auto invalid = [](const char *name, const QByteArray &bytes) {
        QTest::newRow(name) << bytes << false << 0 << 0 << 0 << 0.0 << 0.0 << false;
    };
    invalid("empty", QByteArray());
    invalid("PNG", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + QByteArray(20, '\0'));
    invalid("no frame", jpeg(jfif(1, 72, 72)));
    invalid("cut short", jpeg(frame(0xc0, 8, 8, 8, 3)).chopped(2));
    invalid("12-bit", jpeg(frame(0xc1, 12, 8, 8, 3)));
    invalid("lossless", jpeg(frame(0xc3, 8, 8, 8, 3)));
    invalid("zero height", jpeg(frame(0xc0, 8, 8, 0, 3)));
    invalid("two components", jpeg(frame(0xc0, 8, 8, 8, 2)));
    invalid("segment past the end", "\xff\xd8\xff\xe0\x40\x00JFIF\xff\xd9");
}

void TestPagefold::readsJpegHeaders()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    const std::optional<JpegHeader> header =
        pagefold::readJpegHeader(std::string_view(bytes.constData(), size_t(bytes.size())));
    QCOMPARE(header.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, components);
    QFETCH(double, dpiX);
    QFETCH(double, dpiY);
    QFETCH(bool, adobe);
    QCOMPARE(header->width, width);
    QCOMPARE(header->height, height);
    QCOMPARE(header->components, components);
    QCOMPARE(header->dpiX, dpiX);
    QCOMPARE(header->dpiY, dpiY);
    QCOMPARE(header->adobe, adobe);
}

void TestPagefold::makesOnePagePerImageInOrder()
{
    QTemporaryDir folder;
    const QString pdf = folder.filePath("pages.pdf");
    writeFile(pdf, "an older PDF");

    // Qt writes a JFIF density from the image's dots per metre.
    QImage colour = pattern(400, 300, QImage::Format_RGB32);
    colour.setDotsPerMeterX(qRound(150 / 0.0254));
    colour.setDotsPerMeterY(qRound(150 / 0.0254));
    const QStringList images{folder.filePath("colour.jpg"), folder.filePath("gray page.jpg"),
                             folder.filePath("cmyk.jpg")};
    QVERIFY(colour.save(images[0], "JPEG"));
    writeFile(images[1], turboJpeg(120, 360, TJPF_GRAY, TJSAMP_GRAY));
    writeFile(images[2], turboJpeg(90, 60, TJPF_CMYK, TJSAMP_444));

    QVERIFY(makePdf(images, pdf));

    const QString info = run("pdfinfo", {"-f", "1", "-l", "3", pdf});
    QVERIFY2(info.contains(QRegularExpression("Pages: +3\n")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Page +1 size: +192 x 144 pts")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Page +2 size: +28.8 x 86.4 pts")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Page +3 size: +21.6 x 14.4 pts")), qPrintable(info));

    const QString list = run("pdfimages", {"-list", pdf});
    QVERIFY2(list.contains(QRegularExpression(R"(\n +1 +0 image +400 +300 +rgb +3 +8 +jpeg )")),
             qPrintable(list));
    QVERIFY2(list.contains(QRegularExpression(R"(\n +2 +1 image +120 +360 +gray +1 +8 +jpeg )")),
             qPrintable(list));
    QVERIFY2(list.contains(QRegularExpression(R"(\n +3 +2 image +90 +60 +cmyk +4 +8 +jpeg )")),
             qPrintable(list));

    run("pdfimages", {"-j", pdf, folder.filePath("out")});
    for (int page = 0; page < images.size(); ++page)
        QCOMPARE(readFile(folder.filePath(QString("out-%1.jpg").arg(page, 3, 10, QChar('0')))),
                 readFile(images[page]));
}

void TestPagefold::failsWithoutWriting_data()
{
    QTest::addColumn<QStringList>("images"); // names in the folder; "good.jpg" is a JPEG
    QTest::addColumn<QString>("pdf");

    QTest::newRow("no images") << QStringList() << "old.pdf";
    QTest::newRow("missing image") << QStringList{"good.jpg", "missing.jpg"} << "old.pdf";
    QTest::newRow("not a JPEG") << QStringList{"text.jpg", "good.jpg"} << "old.pdf";
    QTest::newRow("JPEG cut short") << QStringList{"good.jpg", "cut.jpg"} << "old.pdf";
    QTest::newRow("image is a folder") << QStringList{"folder"} << "old.pdf";
    QTest::newRow("null image") << QStringList{"good.jpg", QString()} << "old.pdf";
    QTest::newRow("no such folder") << QStringList{"good.jpg"} << "none/new.pdf";
    QTest::newRow("PDF path is a folder") << QStringList{"good.jpg"} << "folder";
}

void TestPagefold::failsWithoutWriting()
{
    QFETCH(QStringList, images);
    QFETCH(QString, pdf);
    QTemporaryDir folder;
    const QDir dir(folder.path());
    QVERIFY(pattern(64, 48, QImage::Format_RGB32).save(dir.filePath("good.jpg"), "JPEG"));
    writeFile(dir.filePath("text.jpg"), "no picture here");
    writeFile(dir.filePath("cut.jpg"), readFile(dir.filePath("good.jpg")).left(300));
    writeFile(dir.filePath("old.pdf"), "the PDF made before");
    QVERIFY(dir.mkdir("folder"));
    const QMap<QString, QByteArray> before = contentsOf(folder.path());

    QStringList paths;
    for (const QString &image : images)
        paths << (image.isNull() ? QString() : dir.filePath(image));
    QVERIFY(!makePdf(paths, dir.filePath(pdf)));
    QCOMPARE(contentsOf(folder.path()), before);
}

QTEST_GUILESS_MAIN(TestPagefold)
#include "test_pagefold.moc"
