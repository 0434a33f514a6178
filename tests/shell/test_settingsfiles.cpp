#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "shell/rotationfile.h"
#include "shell/settingsfile.h"

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestSettingsFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rotationLookup_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("rotation");

        const QByteArray both = "abcd&efgh=90|wxyz&1234:270|";
        QTest::newRow("first entry") << both << QByteArray("abcd&efgh") << 90;
        QTest::newRow("second entry") << both << QByteArray("wxyz&1234") << 270;
        QTest::newRow("unknown camera") << both << QByteArray("0000&0000") << 0;
        QTest::newRow("no closing bar")
            << QByteArray("abcd&efgh=90") << QByteArray("abcd&efgh") << 0;
        QTest::newRow("no separator, no number")
            << QByteArray("abcd&efgh|") << QByteArray("abcd&efgh") << 0;
        QTest::newRow("separator only")
            << QByteArray("abcd&efgh=|") << QByteArray("abcd&efgh") << 0;
        QTest::newRow("any separator")
            << QByteArray("abcd&efgh 180|") << QByteArray("abcd&efgh") << 180;
        QTest::newRow("number cut at its end")
            << QByteArray("abcd&efgh=90deg|") << QByteArray("abcd&efgh") << 90;
        QTest::newRow("empty value") << QByteArray() << QByteArray("abcd&efgh") << 0;
        // The offsets are fixed: a shorter key still reads from 10 bytes on.
        QTest::newRow("short key, fixed offsets")
            << QByteArray("ab&cd=1234|") << QByteArray("ab&cd") << 0;
        QTest::newRow("huge number does not overflow")
            << QByteArray("abcd&efgh=99999999999999999999|") << QByteArray("abcd&efgh") << INT_MAX;
    }

    void rotationLookup()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, key);
        QFETCH(int, rotation);
        QCOMPARE(rotationForCamera(value, key), rotation);
    }

    void workDirectoryIsUnderDocuments()
    {
        QCOMPARE(workDirectoryPath(), (QDir::homePath() + "/Documents/Kelvora").toLocal8Bit());
    }

    void readingCutsAt259Bytes()
    {
        QTemporaryDir work;
        const QByteArray path = work.path().toLocal8Bit();
        writeFile(settingsFilePath(path), "[kelvora]\r\nimagepath=" + QByteArray(300, 'x') +
                                              "\r\nPPTPATH=  /opt/impress  \r\ncappath=\r\n");
        QCOMPARE(readSetting(path, "imagepath"), QByteArray(259, 'x'));
        QCOMPARE(readSetting(path, "pptpath"), QByteArray("/opt/impress"));
        QCOMPARE(readSetting(path, "cappath"), QByteArray());
        QCOMPARE(readSetting(path, "missing"), QByteArray());
    }

    void chosenPathRule()
    {
        QTemporaryDir work;
        const QByteArray path = work.path().toLocal8Bit();
        const QString file = settingsFilePath(path);
        QByteArray member = path;

        // Cancelled dialog and an unchanged choice write nothing at all.
        QVERIFY(!storeChosenPath(member, QString(), "imagepath", path));
        QVERIFY(!storeChosenPath(member, work.path(), "imagepath", path));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(member, path);

        const QString chosen = work.path() + "/照片";
        QVERIFY(storeChosenPath(member, chosen, "imagepath", path));
        QCOMPARE(member, chosen.toLocal8Bit());
        QCOMPARE(readSetting(path, "imagepath"), chosen.toLocal8Bit());

        // The same choice again leaves the file as it is.
        const QByteArray before = readFile(file);
        QVERIFY(!storeChosenPath(member, chosen, "imagepath", path));
        QCOMPARE(readFile(file), before);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "test_settingsfiles.moc"
