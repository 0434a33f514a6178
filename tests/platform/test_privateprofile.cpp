// conf.ini read and written byte for byte as the Win32 profile calls do, so that
// files written by either side keep working.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/privateprofile.h"

namespace {
const QByteArray missing = "<missing>";

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : missing;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile::remove(path);
    QFile file(path);
    if (bytes != missing)
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray failure(const char *name, const QByteArray &got)
{
    return QByteArray(name) + ": got \"" + got.toPercentEncoding(" =[];'\"/") + '"';
}
} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_path = m_folder.filePath(QStringLiteral("conf.ini")); }

    void read()
    {
        const QByteArray ini = "[kelvora]\r\nimagepath=/home/u/Photos\r\npptpath=\r\n";
        const struct
        {
            const char *name;
            QByteArray file;
            const char *section, *key;
            int bufferSize;
            QByteArray expected;
        } cases[] = {
            {"plain", ini, "kelvora", "imagepath", 260, "/home/u/Photos"},
            {"empty value is not the default", ini, "kelvora", "pptpath", 260, ""},
            {"missing key", ini, "kelvora", "cappath", 260, "default"},
            {"missing section", ini, "Rotate", "imagepath", 260, "default"},
            {"missing file", missing, "kelvora", "imagepath", 260, "default"},
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
            {"key of another section", "[a]\nk=1\n[b]\nj=2\n", "b", "k", 260, "default"},
            {"first duplicate key wins", "[s]\nk=1\nk=2\n", "s", "k", 260, "1"},
            {"equals sign inside value", "[R]\nvalue=abcd&efgh=90|\n", "R", "value", 1000,
             "abcd&efgh=90|"},
            {"last line without ending", "[s]\nk=v", "s", "k", 260, "v"},
            {"UTF-8 byte order mark ignored", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", 260, "v"},
            {"cut to buffer size - 1", "[s]\nk=" + QByteArray(300, 'p'), "s", "k", 260,
             QByteArray(259, 'p')},
            {"quotes stripped before the cut", "[s]\nk=\"abcdef\"\n", "s", "k", 4, "abc"},
            // A plain byte cut, as Win32 does: it may split a UTF-8 character.
            {"cut inside a UTF-8 character", "[s]\nk=a\xc3\xa4\n", "s", "k", 3, "a\xc3"},
            {"buffer of one byte", ini, "kelvora", "imagepath", 1, ""},
            {"default is cut too", ini, "kelvora", "cappath", 4, "def"},
        };
        for (const auto &c : cases) {
            writeFile(m_path, c.file);
            const QByteArray got =
                readPrivateProfileString(c.section, c.key, "default", c.bufferSize, m_path);
            QVERIFY2(got == c.expected, failure(c.name, got).constData());
        }
    }

    void write()
    {
        const QByteArray crlf =
            "; Kelvora settings\r\n\r\n[kelvora]\r\n  ImagePath = \"/old\"   \r\n"
            "pptpath=/usr/bin/loimpress\r\n\r\n[other]\r\nimagepath=untouched\r\n";
        const struct
        {
            const char *name;
            QByteArray before;
            const char *section, *key, *value;
            QByteArray after; // the same as before: refused
        } cases[] = {
            {"replace in place, keep the rest", crlf, "kelvora", "imagepath", "/new",
             QByteArray(crlf).replace("  ImagePath = \"/old\"   ", "ImagePath=/new")},
            {"append after last non-blank line of section", crlf, "KELVORA", "cappath", "/new",
             QByteArray(crlf).replace("loimpress\r\n", "loimpress\r\ncappath=/new\r\n")},
            {"append section after a blank line", crlf, "Rotate", "value", "/new",
             crlf + "\r\n[Rotate]\r\nvalue=/new\r\n"},
            {"LF file stays LF", "[a]\nk=1\n", "b", "k", "/new", "[a]\nk=1\n\n[b]\nk=/new\n"},
            {"no second blank line", "[a]\nk=1\n\n", "b", "k", "/new", "[a]\nk=1\n\n[b]\nk=/new\n"},
            {"section at end without final line ending", "[a]\r\nk=1", "a", "j", "/new",
             "[a]\r\nk=1\r\nj=/new\r\n"},
            {"empty section gets the key", "[a]\n[b]\nx=1\n", "a", "k", "/new",
             "[a]\nk=/new\n[b]\nx=1\n"},
            {"only the first duplicate replaced", "[a]\nk=1\nk=2\n", "a", "k", "/new",
             "[a]\nk=/new\nk=2\n"},
            {"comment like the key kept", "[a]\n;k=old\n", "a", "k", "/new",
             "[a]\n;k=old\nk=/new\n"},
            {"byte order mark kept", "\xEF\xBB\xBF[a]\nk=1\n", "a", "k", "/new",
             "\xEF\xBB\xBF[a]\nk=/new\n"},
            {"empty file", "", "a", "k", "/new", "[a]\nk=/new\n"},
            {"missing file", missing, "kelvora", "imagepath", "/p\xc3\xa4th",
             "[kelvora]\nimagepath=/p\xc3\xa4th\n"},
            // What would break lines: line breaks, '=' in a key, ']' in a section, no name.
            {"line break in value", "[a]\nk=1\n", "a", "k", "/x\n[evil]\nk=1", "[a]\nk=1\n"},
            {"carriage return in value", "[a]\nk=1\n", "a", "k", "/x\r", "[a]\nk=1\n"},
            {"equals sign in key", "[a]\nk=1\n", "a", "k=j", "1", "[a]\nk=1\n"},
            {"blank key", "[a]\nk=1\n", "a", "  ", "1", "[a]\nk=1\n"},
            {"bracket in section", "[a]\nk=1\n", "a]b", "k", "1", "[a]\nk=1\n"},
            {"line break in section", "[a]\nk=1\n", "a\nb", "k", "1", "[a]\nk=1\n"},
            {"empty section", "[a]\nk=1\n", "", "k", "1", "[a]\nk=1\n"},
        };
        for (const auto &c : cases) {
            writeFile(m_path, c.before);
            QVERIFY2(writePrivateProfileString(c.section, c.key, c.value, m_path) ==
                         (c.after != c.before),
                     c.name);
            QVERIFY2(readFile(m_path) == c.after, failure(c.name, readFile(m_path)).constData());
        }

        // No folder is made, a folder is no file, and nothing is left beside conf.ini.
        const QString inMissingFolder = m_folder.filePath(QStringLiteral("absent/conf.ini"));
        QVERIFY(!writePrivateProfileString("kelvora", "imagepath", "/x", inMissingFolder));
        QVERIFY(!QFileInfo::exists(QFileInfo(inMissingFolder).path()));
        const QString folderAsFile = m_folder.filePath(QStringLiteral("sub"));
        QVERIFY(QDir().mkdir(folderAsFile));
        QVERIFY(!writePrivateProfileString("a", "k", "1", folderAsFile));
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"conf.ini"});
    }

private:
    QTemporaryDir m_folder;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "test_privateprofile.moc"
