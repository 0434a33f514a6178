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
} // namespace

class TestPrivateProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readAndWrite()
    {
        const QByteArray crlf =
            "; Kelvora settings\r\n\r\n[kelvora]\r\n  ImagePath = \"/old\"   \r\n"
            "pptpath=\r\n\r\n[other]\r\ncappath=untouched\r\n";
        const QByteArray lf = "[a]\nk=1\nk=2\n";
        const struct
        {
            const char *name;
            QByteArray before;
            const char *section, *key;
            const char *value;   // none: read, and expected is what is read
            QByteArray expected; // after writing; the same as before: refused
        } cases[] = {
            {"case, blanks, quotes", crlf, "KELVORA", "imagepath", nullptr, "/old"},
            {"empty is no default", crlf, "kelvora", "pptpath", nullptr, ""},
            {"key of another section", crlf, "kelvora", "cappath", nullptr, "default"},
            {"missing file", missing, "kelvora", "imagepath", nullptr, "default"},
            {"first duplicate wins", lf, "a", "k", nullptr, "1"},
            {"= in value", "[R]\nvalue=abcd&efgh=90|\n", "R", "value", nullptr, "abcd&efgh=90|"},
            {"BOM, no last line end", "\xEF\xBB\xBF[s]\nk=v", "s", "k", nullptr, "v"},
            {"cut to 259 bytes", "[s]\nk=" + QByteArray(300, 'p'), "s", "k", nullptr,
             QByteArray(259, 'p')},
            {"replaced in place", crlf, "kelvora", "imagepath", "/new",
             QByteArray(crlf).replace("  ImagePath = \"/old\"   ", "ImagePath=/new")},
            {"after the last line of section", crlf, "KELVORA", "cappath", "/new",
             QByteArray(crlf).replace("pptpath=\r\n", "pptpath=\r\ncappath=/new\r\n")},
            {"new section after blank line", crlf, "Rotate", "value", "/new",
             crlf + "\r\n[Rotate]\r\nvalue=/new\r\n"},
            {"LF stays LF", lf, "a", "j", "/new", lf + "j=/new\n"},
            {"BOM kept, line end added", "\xEF\xBB\xBF[a]\r\nk=1", "a", "j", "/new",
             "\xEF\xBB\xBF[a]\r\nk=1\r\nj=/new\r\n"},
            {"file made", missing, "kelvora", "imagepath", "/p\xc3\xa4th",
             "[kelvora]\nimagepath=/p\xc3\xa4th\n"},
            // What would break lines.
            {"line break in value", lf, "a", "k", "/x\n[evil]\nk=1", lf},
            {"= in key", lf, "a", "k=j", "1", lf},
        };
        const QString path = m_folder.filePath(QStringLiteral("conf.ini"));
        for (const auto &c : cases) {
            QFile::remove(path);
            QFile file(path);
            if (c.before != missing)
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(c.before) == c.before.size());
            file.close();
            QByteArray got;
            if (c.value) {
                QVERIFY2(writePrivateProfileString(c.section, c.key, c.value, path) ==
                             (c.expected != c.before),
                         c.name);
                got = readFile(path);
            } else {
                got = readPrivateProfileString(c.section, c.key, "default", 260, path);
            }
            QVERIFY2(got == c.expected, c.name);
        }

        // No folder is made, a folder is no file, and nothing is left beside conf.ini.
        const QString inMissingFolder = m_folder.filePath(QStringLiteral("absent/conf.ini"));
        QVERIFY(!writePrivateProfileString("kelvora", "imagepath", "/x", inMissingFolder));
        QVERIFY(!QFileInfo::exists(QFileInfo(inMissingFolder).path()));
        QVERIFY(QDir().mkdir(m_folder.filePath(QStringLiteral("sub"))));
        QVERIFY(
            !writePrivateProfileString("a", "k", "1", m_folder.filePath(QStringLiteral("sub"))));
        QCOMPARE(QDir(m_folder.path()).entryList(QDir::Files), QStringList{"conf.ini"});
    }

private:
    QTemporaryDir m_folder;
};

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "test_privateprofile.moc"
