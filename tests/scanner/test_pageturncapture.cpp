// Capture by page turn in the scanner window, the pages then merged into one PDF,
// on a simulated camera filming a scene file that new pictures are renamed over.

#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include "pagescenes.h"
#include "recordingdialogs.h"
#include "scannerstart.h"

using namespace pagescenes;

namespace {
// How far a still is from a scene: the mean grey difference at the scene's size.
double distance(const QImage &still, const QImage &scene)
{
    const QImage a = still.scaled(size).convertToFormat(QImage::Format_Grayscale8);
    const QImage b = scene.convertToFormat(QImage::Format_Grayscale8);
    double sum = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            sum += qAbs(a.constScanLine(y)[x] - b.constScanLine(y)[x]);
    return sum / (size.width() * size.height());
}
} // namespace

class TestPageTurnCapture : public QObject
{
    Q_OBJECT

private:
    RecordingDialogs m_dialogs; // a message would otherwise wait for a person
    QTemporaryDir m_scenes;
    std::unique_ptr<Kelvora> m_bar;
    QString m_capFolder;

    template <typename T> T *child(const char *name) const
    {
        return scannerWindow->findChild<T *>(QLatin1String(name));
    }
    // Shows scene from the next frames on: written aside, renamed over the scene file.
    void film(const QImage &scene)
    {
        QVERIFY(scene.save(m_scenes.filePath("next.png")));
        QCOMPARE(std::rename(qPrintable(m_scenes.filePath("next.png")),
                             qPrintable(m_scenes.filePath("scene.png"))),
                 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        film(desk(0));
        qputenv("OPTRELLE_SCENE", m_scenes.filePath("scene.png").toLocal8Bit());
        m_capFolder = startScanner(m_bar, "0ac8:c498@960x720", "page turns");
        QVERIFY(!m_capFolder.isEmpty());
    }

    void cleanupTestCase() { m_bar.reset(); }

    void onePerPageLaidDownThenMerged()
    {
        auto *count = child<QLabel>("labelPageTurnCount");
        child<QCheckBox>("checkBoxPageTurn")->click();
        QTest::qWait(1500); // the watcher learns the bare desk at rest
        for (int page = 1; page <= 3; ++page) {
            // Three frames a step, so the hand is seen moving.
            layPage(page, [this](const QImage &scene, int, bool) {
                film(scene);
                QTest::qWait(100);
            });
            film(desk(page));
            QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("已拍 %1 张").arg(page), 4000);
        }
        child<QCheckBox>("checkBoxPageTurn")->click();
        const QStringList taken = QDir(m_capFolder).entryList({"*.jpg"}, QDir::Files, QDir::Name);
        QCOMPARE(taken.size(), 3);
        for (int page = 1; page <= 3; ++page) {
            const QImage still(m_capFolder + '/' + taken[page - 1]);
            for (const QImage &other :
                 {desk(page - 1), desk(page % 3 + 1), withHand(desk(page), 140)})
                QVERIFY(distance(still, desk(page)) < distance(still, other));
        }
        // They are the batch, one PDF page each.
        child<QPushButton>("pushButtonMergePDF")->click();
        const QStringList pdfs = QDir(m_capFolder).entryList({"*.pdf"});
        QCOMPARE(pdfs.size(), 1);
        QProcess info;
        info.start("pdfinfo", {m_capFolder + '/' + pdfs[0]});
        QVERIFY(info.waitForFinished() && info.readAll().contains("Pages:           3\n"));
    }
};

QTEST_MAIN(TestPageTurnCapture)
#include "test_pageturncapture.moc"
