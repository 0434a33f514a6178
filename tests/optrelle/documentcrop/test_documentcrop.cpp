// Finding the document page on real photographs of pages on desks.
#include "documentcrop/pagefinder.h"
#include "frameimage.h"
#include "pagephotos.h"

#include <QTest>

class DocumentCropTest : public QObject
{
    Q_OBJECT

private slots:
    void findsPagesOnPhotographs()
    {
        const std::vector<PagePhoto> photos = readPagePhotos(QStringLiteral(KELVORA_PAGE_PHOTOS));
        QVERIFY(photos.size() >= 20);
        int found = 0;
        int wrong = 0;
        for (const PagePhoto &photo : photos) {
            const QImage picture(photo.path);
            QVERIFY2(!picture.isNull(), qPrintable(photo.path));
            optrelle::Frame frame;
            optrelle::imageToFrame(picture, frame);
            const std::optional<optrelle::PageOutline> outline = optrelle::findPageOutline(frame);
            const PageMatch match = matchPage(photo, outline, picture.size());
            found += int(match.found);
            wrong += int(outline && !match.found);
        }
        // A floor at what the finder reaches today; page_finding (bench) lists the misses.
        QVERIFY2(found >= 0.70 * double(photos.size()), qPrintable(QString::number(found)));
        // A wrong crop loses text, the whole frame loses nothing.
        QVERIFY2(wrong <= 0.05 * double(photos.size()), qPrintable(QString::number(wrong)));
    }
};

QTEST_MAIN(DocumentCropTest)
#include "test_documentcrop.moc"
