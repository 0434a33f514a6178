// The scanner workstation's heavy steps, through the libraries' C calls as the
// scanner window makes them: stills of a 4000x3000 simulated camera in each
// format, a PDF of a 4000x3000 JPEG and its size beside the JPEG, and Tesseract
// reading one 1920x1080 frame of the simulated page.
// Prints its tables; run with `make bench`.
#include "optrelle.h"
#include "pagefold.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

enum Resolution
{
    fullHd = 0,
    large = 1
};
const QSize sizes[] = {{1920, 1080}, {4000, 3000}};
const char *const stillFormats[] = {"jpg", "bmp", "png", "tif"};
const QString ocrLanguages = QStringLiteral("chi_sim+eng");
constexpr int ocrRuns = 5;

// Milliseconds per call of work, over at least a second and three calls.
template <typename Work> double millisecondsPerCall(Work work)
{
    work(); // warm caches and lazily made state
    QElapsedTimer timer;
    timer.start();
    int calls = 0;
    while (timer.elapsed() < 1000 || calls < 3) {
        work();
        ++calls;
    }
    return double(timer.nsecsElapsed()) / 1e6 / calls;
}

QByteArray pathIn(const QTemporaryDir &folder, const QString &name)
{
    return QFile::encodeName(folder.filePath(name));
}

// Captures until a still of the given size is written: after a change of
// resolution the newest frame may still be of the old size.
bool captureAtSize(const QByteArray &path, QSize size)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QByteArray writable = path;
        if (fnCapture(0, writable.data()) && QImageReader(QFile::decodeName(path)).size() == size)
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return false;
}

void benchStills(const QTemporaryDir &folder)
{
    const QSize size = sizes[large];
    std::printf("%-8s %12s %12s\n", "format", "capture ms", "file KiB");
    for (const char *format : stillFormats) {
        QByteArray path = pathIn(folder, QString("still.%1").arg(format));
        if (!captureAtSize(path, size)) {
            std::printf("%-8s no %dx%d still\n", format, size.width(), size.height());
            continue;
        }
        const double milliseconds = millisecondsPerCall([&] { fnCapture(0, path.data()); });
        std::printf("%-8s %12.1f %12.0f\n", format, milliseconds,
                    QFileInfo(QFile::decodeName(path)).size() / 1024.0);
        std::fflush(stdout);
    }
}

void benchPdf(const QTemporaryDir &folder)
{
    const QByteArray jpeg = pathIn(folder, "page.jpg");
    const QByteArray pdf = pathIn(folder, "page.pdf");
    if (!captureAtSize(jpeg, sizes[large])) {
        std::printf("\nno JPEG still for the PDF\n");
        return;
    }
    bool made = true;
    const double milliseconds = millisecondsPerCall([&] {
        ClearAll();
        AddImage(jpeg.constData());
        made = MakePDF(pdf.constData(), nullptr) && made;
    });
    const qint64 jpegBytes = QFileInfo(QFile::decodeName(jpeg)).size();
    const qint64 pdfBytes = QFileInfo(QFile::decodeName(pdf)).size();
    std::printf("\n%-10s %10s %11s %11s %14s\n", "PDF", "make ms", "JPEG bytes", "PDF bytes",
                "overhead bytes");
    std::printf("%-10s %10.1f %11lld %11lld %14lld%s\n", "4000x3000", milliseconds,
                qlonglong(jpegBytes), qlonglong(pdfBytes), qlonglong(pdfBytes - jpegBytes),
                made ? "" : "  (MakePDF failed)");
}

// One Tesseract run, started as the program starts it: separate arguments.
double ocrSeconds(const QByteArray &png, const QString &outputBase, const QString &threadLimit,
                  QString *text)
{
    QProcess tesseract;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!threadLimit.isEmpty())
        environment.insert("OMP_THREAD_LIMIT", threadLimit);
    tesseract.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    tesseract.start("tesseract", {QFile::decodeName(png), outputBase, "-l", ocrLanguages});
    if (!tesseract.waitForFinished(120000) || tesseract.exitCode() != 0)
        return -1;
    const double seconds = timer.nsecsElapsed() / 1e9;
    QFile result(outputBase + ".txt");
    *text = result.open(QIODevice::ReadOnly) ? QString::fromUtf8(result.readAll()) : QString();
    return seconds;
}

void benchOcr(const QTemporaryDir &folder)
{
    fnSetResolution(0, fullHd);
    const QByteArray png = pathIn(folder, "page.png");
    if (!captureAtSize(png, sizes[fullHd])) {
        std::printf("\nno 1920x1080 still for OCR\n");
        return;
    }
    std::printf("\n%-10s %-12s %-18s %17s\n", "OCR", "languages", "OMP_THREAD_LIMIT",
                "median seconds");
    QString text;
    for (const QString &threadLimit : {QString(), QString("1")}) {
        // The median of a few runs: the first one also reads the language data.
        std::vector<double> seconds;
        for (int run = 0; run < ocrRuns; ++run)
            seconds.push_back(ocrSeconds(png, folder.filePath("result"), threadLimit, &text));
        std::sort(seconds.begin(), seconds.end());
        std::printf("%-10s %-12s %-18s %17.2f\n", "1920x1080", qPrintable(ocrLanguages),
                    threadLimit.isEmpty() ? "(unset)" : qPrintable(threadLimit),
                    seconds[ocrRuns / 2]);
        std::fflush(stdout);
    }
    std::printf("recognised:\n%s\n", qPrintable(text.trimmed()));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OPTRELLE_BACKEND", "sim");
    qputenv("OPTRELLE_CAMERAS", "0ac8:c498@1920x1080,4000x3000/30");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!fnInit() || fnGetCameraCount() != 1) {
        std::printf("no simulated camera\n");
        return 1;
    }
    fnSetDefaultResolution(0, large);
    if (!fnOpenCamera(0, 0)) {
        std::printf("the simulated camera does not stream\n");
        return 1;
    }
    benchStills(folder);
    benchPdf(folder);
    benchOcr(folder);
    fnCloseCamera(0);
    return 0;
}
