#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/privateprofile.h"

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}
} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_folder.isValid());
        m_path = m_folder.filePath(QStringLiteral("conf.ini"));
        QFile::remove(m_path);
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray settings = "[kelvora]\r\nimagepath=/home/u/Photos\r\npptpath=\r\n";
        QTest::newRow("plain") << settings << QByteArray("kelvora") << QByteArray("imagepath")
                               << 260 << QByteArray("/home/u/Photos");
        QTest::newRow("empty value is not the default")
            << settings << QByteArray("kelvora") << QByteArray("pptpath") << 260 << QByteArray();
        QTest::newRow("missing key gives default")
            << settings << QByteArray("kelvora") << QByteArray("cappath") << 260
            << QByteArray("default");
        QTest::newRow("missing section gives default")
            << settings << QByteArray("Rotate") << QByteArray("imagepath") << 260
            << QByteArray("default");
        QTest::newRow("names ignore ASCII case")
            << QByteArray("[KelVora]\nImagePath=x\n") << QByteArray("kelvorA")
            << QByteArray("IMAGEPATH") << 260 << QByteArray("x");
        QTest::newRow("non-ASCII names match exactly")
            << QByteArray("[\xc3\x84]\nk=x\n") << QByteArray("\xc3\xa4") << QByteArray("k") << 260
            << QByteArray("default");
        QTest::newRow("blanks trimmed")
            << QByteArray("  [ kelvora ]  \n\t imagepath \t=  /a b  \t\n") << QByteArray("kelvora")
            << QByteArray("imagepath") << 260 << QByteArray("/a b");
        QTest::newRow("double quotes stripped")
            << QByteArray("[s]\nk= \"/a b\" \n") << QByteArray("s") << QByteArray("k") << 260
            << QByteArray("/a b");
        QTest::newRow("single quotes stripped once")
            << QByteArray("[s]\nk=''x''\n") << QByteArray("s") << QByteArray("k") << 260
            << QByteArray("'x'");
        QTest::newRow("unpaired quotes kept") << QByteArray("[s]\nk=\"x'\n") << QByteArray("s")
                                              << QByteArray("k") << 260 << QByteArray("\"x'");
        QTest::newRow("lone quote kept") << QByteArray("[s]\nk=\"\n") << QByteArray("s")
                                         << QByteArray("k") << 260 << QByteArray("\"");
        QTest::newRow("comment line is no key")
            << QByteArray("[s]\n;k=commented\n") << QByteArray("s") << QByteArray("k") << 260
            << QByteArray("default");
        QTest::newRow("key of another section not found")
            << QByteArray("[a]\nk=1\n[b]\nj=2\n") << QByteArray("b") << QByteArray("k") << 260
            << QByteArray("default");
        QTest::newRow("first duplicate key wins")
            << QByteArray("[s]\nk=1\nk=2\n") << QByteArray("s") << QByteArray("k") << 260
            << QByteArray("1");
        QTest::newRow("equals sign inside value")
            << QByteArray("[Rotate]\nvalue=abcd&efgh=90|\n") << QByteArray("Rotate")
            << QByteArray("value") << 1000 << QByteArray("abcd&efgh=90|");
        QTest::newRow("last line without ending") << QByteArray("[s]\nk=v") << QByteArray("s")
                                                  << QByteArray("k") << 260 << QByteArray("v");
        QTest::newRow("UTF-8 byte order mark ignored")
            << QByteArray("\xEF\xBB\xBF[s]\nk=v\n") << QByteArray("s") << QByteArray("k") << 260
            << QByteArray("v");
        QTest::newRow("cut to buffer size - 1")
            << QByteArray("[s]\nk=" + QByteArray(300, 'p') + "\n") << QByteArray("s")
            << QByteArray("k") << 260 << QByteArray(259, 'p');
        QTest::newRow("quotes stripped before the cut")
            << QByteArray("[s]\nk=\"abcdef\"\n") << QByteArray("s") << QByteArray("k") << 4
            << QByteArray("abc");
        // A plain byte cut, as Win32 does: it may split a UTF-8 character.
        QTest::newRow("cut inside a UTF-8 character")
            << QByteArray("[s]\nk=a\xc3\xa4\n") << QByteArray("s") << QByteArray("k") << 3
            << QByteArray("a\xc3");
        QTest::newRow("buffer of one byte")
            << settings << QByteArray("kelvora") << QByteArray("imagepath") << 1 << QByteArray();
        QTest::newRow("default is cut too")
            << settings << QByteArray("kelvora") << QByteArray("cappath") << 4 << QByteArray("def");
    }

    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(int, bufferSize);
        QFETCH(QByteArray, expected);

        writeFile(m_path, file);
        QCOMPARE(readPrivateProfileString(section, key, "default", bufferSize, m_path), expected);
    }

    void missingFileGivesCutDefault()
    {
        QCOMPARE(readPrivateProfileString("kelvora", "imagepath", "/work", 260, m_path),
                 QByteArray("/work"));
        QCOMPARE(
            readPrivateProfileString("kelvora", "imagepath", QByteArray(300, 'd'), 260, m_path),
            QByteArray(259, 'd'));
        QVERIFY(!QFile::exists(m_path));
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("after");

        const QByteArray crlf = "; Kelvora settings\r\n"
                                "\r\n"
                                "[kelvora]\r\n"
                                "  ImagePath = \"/old\"   \r\n"
                                "pptpath=/usr/bin/loimpress\r\n"
                                "\r\n"
                                "[other]\r\n"
                                "imagepath=untouched\r\n";
        QTest::newRow("replace in place, keep the rest")
            << crlf << QByteArray("kelvora") << QByteArray("imagepath")
            << QByteArray("; Kelvora settings\r\n"
                          "\r\n"
                          "[kelvora]\r\n"
                          "ImagePath=/new\r\n"
                          "pptpath=/usr/bin/loimpress\r\n"
                          "\r\n"
                          "[other]\r\n"
                          "imagepath=untouched\r\n");
        QTest::newRow("append after last non-blank line of section")
            << crlf << QByteArray("KELVORA") << QByteArray("cappath")
            << QByteArray("; Kelvora settings\r\n"
                          "\r\n"
                          "[kelvora]\r\n"
                          "  ImagePath = \"/old\"   \r\n"
                          "pptpath=/usr/bin/loimpress\r\n"
                          "cappath=/new\r\n"
                          "\r\n"
                          "[other]\r\n"
                          "imagepath=untouched\r\n");
        QTest::newRow("append section after a blank line")
            << crlf << QByteArray("Rotate") << QByteArray("value")
            << QByteArray(crlf + "\r\n[Rotate]\r\nvalue=/new\r\n");
        QTest::newRow("LF file stays LF")
            << QByteArray("[a]\nk=1\n") << QByteArray("b") << QByteArray("k")
            << QByteArray("[a]\nk=1\n\n[b]\nk=/new\n");
        QTest::newRow("no second blank line")
            << QByteArray("[a]\nk=1\n\n") << QByteArray("b") << QByteArray("k")
            << QByteArray("[a]\nk=1\n\n[b]\nk=/new\n");
        QTest::newRow("section at end without final line ending")
            << QByteArray("[a]\r\nk=1") << QByteArray("a") << QByteArray("j")
            << QByteArray("[a]\r\nk=1\r\nj=/new\r\n");
        QTest::newRow("empty section header gets the key")
            << QByteArray("[a]\n[b]\nx=1\n") << QByteArray("a") << QByteArray("k")
            << QByteArray("[a]\nk=/new\n[b]\nx=1\n");
        QTest::newRow("only the first duplicate is replaced")
            << QByteArray("[a]\nk=1\nk=2\n") << QByteArray("a") << QByteArray("k")
            << QByteArray("[a]\nk=/new\nk=2\n");
        QTest::newRow("comment that looks like the key is kept")
            << QByteArray("[a]\n;k=old\n") << QByteArray("a") << QByteArray("k")
            << QByteArray("[a]\n;k=old\nk=/new\n");
        QTest::newRow("empty file")
            << QByteArray() << QByteArray("a") << QByteArray("k") << QByteArray("[a]\nk=/new\n");
        QTest::newRow("byte order mark kept")
            << QByteArray("\xEF\xBB\xBF[a]\nk=1\n") << QByteArray("a") << QByteArray("k")
            << QByteArray("\xEF\xBB\xBF[a]\nk=/new\n");
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, after);

        writeFile(m_path, before);
        QVERIFY(writePrivateProfileString(section, key, "/new", m_path));
        QCOMPARE(readFile(m_path), after);
        QCOMPARE(readPrivateProfileString(section, key, "default", 260, m_path),
                 QByteArray("/new"));
    }

    void writeCreatesMissingFileButNotFolder()
    {
        QVERIFY(writePrivateProfileString("kelvora", "imagepath", "/p\xc3\xa4th", m_path));
        QCOMPARE(readFile(m_path), QByteArray("[kelvora]\nimagepath=/p\xc3\xa4th\n"));

        const QString inMissingFolder = m_folder.filePath(QStringLiteral("absent/conf.ini"));
        QVERIFY(!writePrivateProfileString("kelvora", "imagepath", "/x", inMissingFolder));
        QVERIFY(!QFileInfo::exists(QFileInfo(inMissingFolder).path()));
        // Nothing is left behind in the folder but the file itself.
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"conf.ini"});
    }

    void writeRefusesWhatWouldBreakLines_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");

        QTest::newRow("line break in value")
            << QByteArray("a") << QByteArray("k") << QByteArray("/x\n[evil]\nk=1");
        QTest::newRow("carriage return in value")
            << QByteArray("a") << QByteArray("k") << QByteArray("/x\r");
        QTest::newRow("equals in key") << QByteArray("a") << QByteArray("k=j") << QByteArray("1");
        QTest::newRow("empty key") << QByteArray("a") << QByteArray("  ") << QByteArray("1");
        QTest::newRow("bracket in section")
            << QByteArray("a]b") << QByteArray("k") << QByteArray("1");
        QTest::newRow("line break in section")
            << QByteArray("a\nb") << QByteArray("k") << QByteArray("1");
        QTest::newRow("empty section") << QByteArray() << QByteArray("k") << QByteArray("1");
    }

    void writeRefusesWhatWouldBreakLines()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);

        const QByteArray before = "[a]\nk=1\n";
        writeFile(m_path, before);
        QVERIFY(!writePrivateProfileString(section, key, value, m_path));
        QCOMPARE(readFile(m_path), before);
    }

    void writeOverAFolderFails()
    {
        const QString folderAsFile = m_folder.filePath(QStringLiteral("sub"));
        QVERIFY(QDir().mkdir(folderAsFile));
        QVERIFY(!writePrivateProfileString("a", "k", "1", folderAsFile));
        QVERIFY(QFileInfo(folderAsFile).isDir());
    }

private:
    QTemporaryDir m_folder;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "test_privateprofile.moc"
