// The PDF library: pages checked with poppler's tools (the JPEG headers' sizes,
// densities and colours among them), failures that must leave the folder as it was.
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

// libturbojpeg marks no density (aspect ratio 1:1) and writes CMYK with an
// Adobe marker, as Photoshop does.
QByteArray turboJpeg(int width, int height, TJPF format, TJSAMP subsampling)
{
    std::vector<unsigned char> pixels(size_t(width) * height * tjPixelSize[format]);
    for (size_t at = 0; at < pixels.size(); ++at)
        pixels[at] = (unsigned char)(at * 13 / tjPixelSize[format]);
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

// Every file in the folder with its contents.
QMap<QString, QByteArray> contentsOf(const QDir &folder)
{
    QMap<QString, QByteArray> contents;
    for (const QString &name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        contents[name] = readFile(folder.filePath(name));
    return contents;
}
} // namespace

class TestPagefold : public QObject
{
    Q_OBJECT

private slots:
    void makesOnePagePerImageInOrder()
    {
        QTemporaryDir folder;
        const QString pdf = folder.filePath("pages.pdf");
        writeFile(pdf, "an older PDF");
        // Qt writes a JFIF density from the image's dots per metre.
        QImage colour(400, 300, QImage::Format_RGB32);
        colour.fill(qRgb(200, 40, 90));
        colour.setDotsPerMeterX(qRound(150 / 0.0254));
        colour.setDotsPerMeterY(qRound(150 / 0.0254));
        const QStringList images{folder.filePath("colour.jpg"), folder.filePath("gray page.jpg"),
                                 folder.filePath("cmyk.jpg")};
        QVERIFY(colour.save(images[0], "JPEG"));
        writeFile(images[1], turboJpeg(120, 360, TJPF_GRAY, TJSAMP_GRAY));
        writeFile(images[2], turboJpeg(90, 60, TJPF_CMYK, TJSAMP_444));
        QVERIFY(makePdf(images, pdf));

        QProcess poppler;
        poppler.start("pdfinfo", {"-f", "1", "-l", "3", pdf});
        poppler.waitForFinished();
        const QString info = poppler.readAllStandardOutput();
        for (const char *pattern : {"Pages: +3\n", "Page +1 size: +192 x 144 pts"}) // 150 dpi
            QVERIFY2(info.contains(QRegularExpression(pattern)), qPrintable(pattern + info));
        // Each page holds its image as it was, in order.
        poppler.start("pdfimages", {"-j", pdf, folder.filePath("out")});
        poppler.waitForFinished();
        for (int page = 0; page < images.size(); ++page)
            QCOMPARE(readFile(folder.filePath(QString("out-%1.jpg").arg(page, 3, 10, QChar('0')))),
                     readFile(images[page]));
    }

    // Each failure leaves the folder as it was.
    void failsWithoutWriting()
    {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        writeFile(dir.filePath("good.jpg"), turboJpeg(64, 48, TJPF_RGB, TJSAMP_420));
        writeFile(dir.filePath("text.jpg"), "no picture here");
        writeFile(dir.filePath("cut.jpg"), readFile(dir.filePath("good.jpg")).left(300));
        writeFile(dir.filePath("old.pdf"), "the PDF made before");
        const QMap<QString, QByteArray> before = contentsOf(dir);
        const std::pair<QStringList, QString> cases[] = {
            {{}, "old.pdf"},                          // no images
            {{"good.jpg", "missing.jpg"}, "old.pdf"}, // a missing image
            {{"text.jpg", "good.jpg"}, "old.pdf"},    // not a JPEG
            {{"good.jpg", "cut.jpg"}, "old.pdf"},     // a JPEG cut short
            {{"good.jpg", QString()}, "old.pdf"},     // a null image
            {{"good.jpg"}, "none/new.pdf"}};          // no such folder
        for (const auto &[images, pdf] : cases) {
            QStringList paths;
            for (const QString &image : images)
                paths << (image.isNull() ? QString() : dir.filePath(image));
            QVERIFY2(!makePdf(paths, dir.filePath(pdf)), qPrintable(images.join(',') + " " + pdf));
            QCOMPARE(contentsOf(dir), before);
        }
    }
};

QTEST_GUILESS_MAIN(TestPagefold)
#include "test_pagefold.moc"
