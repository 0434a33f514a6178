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

// The case's name and what came out, for a failing row of a table.
QByteArray failure(const char *name, const QByteArray &got)
{
    return QByteArray(name) + ": got \"" + got.toPercentEncoding(" =[];'\"/") + '"';
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

    void read()
    {
        struct Case
        {
            const char *name;
            QByteArray file;
            const char *section, *key;
            int bufferSize;
            QByteArray expected;
        };
        const QByteArray ini = "[kelvora]\r\nimagepath=/home/u/Photos\r\npptpath=\r\n";
        const Case cases[] = {
            {"plain", ini, "kelvora", "imagepath", 260, "/home/u/Photos"},
            {"empty value is not the default", ini, "kelvora", "pptpath", 260, ""},
            {"missing key gives default", ini, "kelvora", "cappath", 260, "default"},
            {"missing section gives default", ini, "Rotate", "imagepath", 260, "default"},
            {"names ignore ASCII case", "[KelVora]\nImagePath=x\n", "kelvorA", "IMAGEPATH", 260,
             "x"},
            {"non-ASCII names match exactly", "[\xc3\x84]\nk=x\n", "\xc3\xa4", "k", 260, "default"},
            {"blanks trimmed", "  [ kelvora ]  \n\t imagepath \t=  /a b  \t\n", "kelvora",
             "imagepath", 260, "/a b"},
            {"double quotes stripped", "[s]\nk= \"/a b\" \n", "s", "k", 260, "/a b"},
            {"single quotes stripped once", "[s]\nk=''x''\n", "s", "k", 260, "'x'"},
            {"unpaired quotes kept", "[s]\nk=\"x'\n", "s", "k", 260, "\"x'"},
            {"lone quote kept", "[s]\nk=\"\n", "s", "k", 260, "\""},
            {"comment line is no key", "[s]\n;k=commented\n", "s", "k", 260, "default"},
            {"key of another section not found", "[a]\nk=1\n[b]\nj=2\n", "b", "k", 260, "default"},
            {"first duplicate key wins", "[s]\nk=1\nk=2\n", "s", "k", 260, "1"},
            {"equals sign inside value", "[Rotate]\nvalue=abcd&efgh=90|\n", "Rotate", "value", 1000,
             "abcd&efgh=90|"},
            {"last line without ending", "[s]\nk=v", "s", "k", 260, "v"},
            {"UTF-8 byte order mark ignored", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", 260, "v"},
            {"cut to buffer size - 1", "[s]\nk=" + QByteArray(300, 'p') + "\n", "s", "k", 260,
             QByteArray(259, 'p')},
            {"quotes stripped before the cut", "[s]\nk=\"abcdef\"\n", "s", "k", 4, "abc"},
            // A plain byte cut, as Win32 does: it may split a UTF-8 character.
            {"cut inside a UTF-8 character", "[s]\nk=a\xc3\xa4\n", "s", "k", 3, "a\xc3"},
            {"buffer of one byte", ini, "kelvora", "imagepath", 1, ""},
            {"default is cut too", ini, "kelvora", "cappath", 4, "def"},
        };
        for (const Case &c : cases) {
            writeFile(m_path, c.file);
            const QByteArray got =
                readPrivateProfileString(c.section, c.key, "default", c.bufferSize, m_path);
            QVERIFY2(got == c.expected, failure(c.name, got).constData());
        }

        QVERIFY(QFile::remove(m_path));
        QCOMPARE(readPrivateProfileString("kelvora", "imagepath", "/work", 260, m_path), "/work");
        QCOMPARE(
            readPrivateProfileString("kelvora", "imagepath", QByteArray(300, 'd'), 260, m_path),
            QByteArray(259, 'd'));
        QVERIFY(!QFile::exists(m_path));
    }

    void write()
    {
        struct Case
        {
            const char *name;
            QByteArray before;
            const char *section, *key;
            QByteArray after;
        };
        const QByteArray crlf =
            "; Kelvora settings\r\n\r\n[kelvora]\r\n  ImagePath = \"/old\"   \r\n"
            "pptpath=/usr/bin/loimpress\r\n\r\n[other]\r\nimagepath=untouched\r\n";
        const Case cases[] = {
            {"replace in place, keep the rest", crlf, "kelvora", "imagepath",
             QByteArray(crlf).replace("  ImagePath = \"/old\"   ", "ImagePath=/new")},
            {"append after last non-blank line of section", crlf, "KELVORA", "cappath",
             QByteArray(crlf).replace("loimpress\r\n", "loimpress\r\ncappath=/new\r\n")},
            {"append section after a blank line", crlf, "Rotate", "value",
             crlf + "\r\n[Rotate]\r\nvalue=/new\r\n"},
            {"LF file stays LF", "[a]\nk=1\n", "b", "k", "[a]\nk=1\n\n[b]\nk=/new\n"},
            {"no second blank line", "[a]\nk=1\n\n", "b", "k", "[a]\nk=1\n\n[b]\nk=/new\n"},
            {"section at end without final line ending", "[a]\r\nk=1", "a", "j",
             "[a]\r\nk=1\r\nj=/new\r\n"},
            {"empty section header gets the key", "[a]\n[b]\nx=1\n", "a", "k",
             "[a]\nk=/new\n[b]\nx=1\n"},
            {"only the first duplicate is replaced", "[a]\nk=1\nk=2\n", "a", "k",
             "[a]\nk=/new\nk=2\n"},
            {"comment that looks like the key is kept", "[a]\n;k=old\n", "a", "k",
             "[a]\n;k=old\nk=/new\n"},
            {"empty file", "", "a", "k", "[a]\nk=/new\n"},
            {"byte order mark kept", "\xEF\xBB\xBF[a]\nk=1\n", "a", "k",
             "\xEF\xBB\xBF[a]\nk=/new\n"},
        };
        for (const Case &c : cases) {
            writeFile(m_path, c.before);
            QVERIFY2(writePrivateProfileString(c.section, c.key, "/new", m_path), c.name);
            QVERIFY2(readFile(m_path) == c.after, failure(c.name, readFile(m_path)).constData());
            QCOMPARE(readPrivateProfileString(c.section, c.key, "default", 260, m_path), "/new");
        }
    }

    void writeCreatesMissingFileButNotFolder()
    {
        QVERIFY(writePrivateProfileString("kelvora", "imagepath", "/p\xc3\xa4th", m_path));
        QCOMPARE(readFile(m_path), "[kelvora]\nimagepath=/p\xc3\xa4th\n");

        const QString inMissingFolder = m_folder.filePath(QStringLiteral("absent/conf.ini"));
        QVERIFY(!writePrivateProfileString("kelvora", "imagepath", "/x", inMissingFolder));
        QVERIFY(!QFileInfo::exists(QFileInfo(inMissingFolder).path()));

        const QString folderAsFile = m_folder.filePath(QStringLiteral("sub"));
        QVERIFY(QDir().mkdir(folderAsFile));
        QVERIFY(!writePrivateProfileString("a", "k", "1", folderAsFile));
        QVERIFY(QFileInfo(folderAsFile).isDir());
        // Nothing is left behind in the folder but the file itself.
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"conf.ini"});
    }

    void writeRefusesWhatWouldBreakLines()
    {
        // Line breaks anywhere, '=' in a key, ']' in a section, empty names.
        const char *const refused[][3] = {{"a", "k", "/x\n[evil]\nk=1"},
                                          {"a", "k", "/x\r"},
                                          {"a", "k=j", "1"},
                                          {"a", "  ", "1"},
                                          {"a]b", "k", "1"},
                                          {"a\nb", "k", "1"},
                                          {"", "k", "1"}};
        const QByteArray before = "[a]\nk=1\n";
        for (const auto &[section, key, value] : refused) {
            writeFile(m_path, before);
            QVERIFY2(!writePrivateProfileString(section, key, value, m_path),
                     failure(section, key + QByteArray("=") + value).constData());
            QCOMPARE(readFile(m_path), before);
        }
    }

private:
    QTemporaryDir m_folder;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "test_privateprofile.moc"
