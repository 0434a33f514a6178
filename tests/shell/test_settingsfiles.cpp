#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "shell/rotationfile.h"
#include "shell/settingsfile.h"

namespace {
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
        QTest::newRow("unknown camera") << both << QByteArray("0000&0000") << 0;
        QTest::newRow("no closing bar")
            << QByteArray("abcd&efgh=90") << QByteArray("abcd&efgh") << 0;
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

    void readingCutsAt259Bytes()
    {
        QTemporaryDir work;
        const QByteArray path = work.path().toLocal8Bit();
        writeFile(settingsFilePath(path), "[kelvora]\r\nimagepath=" + QByteArray(300, 'x') +
                                              "\r\nPPTPATH=  /opt/impress  \r\ncappath=\r\n");
        QCOMPARE(readSetting(path, "imagepath"), QByteArray(259, 'x'));
        QCOMPARE(readSetting(path, "pptpath"), QByteArray("/opt/impress"));
        QCOMPARE(readSetting(path, "cappath"), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "test_settingsfiles.moc"
