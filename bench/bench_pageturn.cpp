// Capture by page turn and searchable PDFs: what watching costs a 1920x1080
// frame, how long after a page comes to rest its still is due, and what a
// text layer costs a page of the simulated desk in time and in file size.
// Prints its tables; run with `make bench`.
#include "optrelle.h"
#include "pagefold.h"
#include "scanner/pageturnwatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {
constexpr quint32 frameMs = 33;

// The desk at 1920x1080 with page, 0 for none, and light camera noise.
QImage noisyDesk(int page, quint32 seed)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(qRgb(74, 58, 44));
    QPainter painter(&image);
    if (page > 0) {
        painter.fillRect(360, 80, 1200, 920, qRgb(250, 250, 246));
        for (int line = 0; line < 12; ++line)
            painter.fillRect(420, 140 + line * 70, 200 + (page * 7 + line * 13) % 11 * 80, 30,
                             qRgb(20, 20, 24));
    }
    QRandomGenerator random(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(9)) - 4;
            line[x] =
                qRgb(qBound(0, qRed(line[x]) + noise, 255), qBound(0, qGreen(line[x]) + noise, 255),
                     qBound(0, qBlue(line[x]) + noise, 255));
        }
    }
    return image;
}

void benchWatching()
{
    const std::vector<QImage> frames{noisyDesk(1, 1), noisyDesk(1, 2), noisyDesk(1, 3)};
    PageTurnWatcher watcher;
    quint32 time = 0;
    std::size_t next = 0;
    // Processor time, not wall time: on a shared machine the wall clock mostly
    // measures the other processes.
    const std::clock_t start = std::clock();
    int watched = 0;
    while (std::clock() - start < 2 * CLOCKS_PER_SEC || watched < 30) {
        watcher.watch(frames[next++ % frames.size()], time += frameMs);
        ++watched;
    }
    std::printf("%-24s %10.3f\n", "watch 1920x1080 CPU ms",
                double(std::clock() - start) * 1000 / CLOCKS_PER_SEC / watched);

    // A page laid down (the picture moves for a second), then still at 30 fps.
    const std::vector<QImage> rest{noisyDesk(2, 4), noisyDesk(2, 5), noisyDesk(2, 6)};
    for (int frame = 0; frame < 30; ++frame)
        watcher.watch(frame % 2 ? noisyDesk(0, frame) : rest[0], time += frameMs);
    const quint32 restStart = time;
    quint32 due = 0;
    for (int frame = 0; frame < 90 && !due; ++frame)
        if (watcher.watch(rest[frame % rest.size()], time += frameMs))
            due = time - restStart;
    std::printf("%-24s %10u\n", "still after rest ms", due);
}

// Tesseract's text-only PDF of one page, as the scanner window asks for it.
bool textLayer(const QString &image, const QString &base)
{
    QProcess tesseract;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("OMP_THREAD_LIMIT", "1");
    tesseract.setProcessEnvironment(environment);
    tesseract.start("tesseract", {"-l", "chi_sim+eng", "-c", "textonly_pdf=1", image, base, "pdf"});
    return tesseract.waitForFinished(300000) && tesseract.exitCode() == 0;
}

void benchSearchable(const QTemporaryDir &folder)
{
    constexpr int pages = 3;
    QStringList stills;
    for (int page = 0; page < pages; ++page) {
        stills << folder.filePath(QString("still%1.jpg").arg(page));
        QByteArray path = QFile::encodeName(stills.last());
        QElapsedTimer waited;
        waited.start();
        while (fnCapture(0, path.data()) != 1 && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QElapsedTimer timer;
    timer.start();
    bool recognised = textLayer(stills[0], folder.filePath("layer0"));
    const double onePage = timer.nsecsElapsed() / 1e9;
    // All pages at once, one Tesseract thread each, as the window runs them.
    timer.restart();
    std::vector<std::unique_ptr<QThread>> threads;
    std::vector<char> done(pages);
    for (int page = 0; page < pages; ++page)
        threads.emplace_back(QThread::create([&, page] {
            done[page] = textLayer(stills[page], folder.filePath(QString("layer%1").arg(page)));
        }));
    for (auto &thread : threads)
        thread->start();
    for (auto &thread : threads)
        thread->wait();
    const double allPages = timer.nsecsElapsed() / 1e9;

    const auto pdfBytes = [&](bool withText) {
        ClearAll();
        for (int page = 0; page < pages; ++page) {
            const QByteArray layer =
                QFile::encodeName(folder.filePath(QString("layer%1.pdf").arg(page)));
            AddImageWithText(QFile::encodeName(stills[page]).constData(),
                             withText ? layer.constData() : nullptr);
        }
        const QString pdf = folder.filePath("pages.pdf");
        return MakePDF(QFile::encodeName(pdf).constData(), nullptr) ? QFileInfo(pdf).size() : -1;
    };
    const qint64 plain = pdfBytes(false);
    const qint64 searchable = pdfBytes(true);
    for (char pageDone : done)
        recognised = recognised && pageDone;
    std::printf("%-24s %10.2f\n", "recognise 1 page s", onePage);
    std::printf("%-24s %10.2f  (%d pages, %d cores)\n", "recognise in parallel s", allPages, pages,
                QThread::idealThreadCount());
    std::printf("%-24s %10lld\n%-24s %10lld\n%-24s %10.1f%s\n", "PDF bytes", qlonglong(plain),
                "searchable PDF bytes", qlonglong(searchable), "text layer share %",
                100.0 * (searchable - plain) / plain, recognised ? "" : "  (a recognition failed)");
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OPTRELLE_BACKEND", "sim");
    qputenv("OPTRELLE_CAMERAS", "0ac8:c498@1920x1080/30");
    QApplication app(argc, argv);
    benchWatching();
    QTemporaryDir folder;
    if (!fnInit() || !fnOpenCamera(0, 0)) {
        std::printf("no simulated camera\n");
        return 1;
    }
    benchSearchable(folder);
    fnCloseCamera(0);
    return 0;
}
