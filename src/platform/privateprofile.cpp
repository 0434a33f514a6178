#include "privateprofile.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

namespace {
const QByteArray utf8Bom = "\xEF\xBB\xBF";

// One line of the file as found: its text and its own line ending ("\r\n",
// "\n", or nothing on a last line without one), so a write can give every
// untouched line back unchanged.
struct Line
{
    QByteArray text;
    QByteArray ending;
};

enum class LineKind
{
    Other,
    Section,
    Key
};

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QByteArray name;
    QByteArray value;
};

// Where a section and one of its keys stand in the file; -1 when absent.
// lastContentLine is the section's header or its last non-blank line.
struct Location
{
    qsizetype sectionLine = -1;
    qsizetype keyLine = -1;
    qsizetype lastContentLine = -1;
};

QList<Line> splitLines(const QByteArray &bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        if (newline < 0) {
            lines.append({bytes.mid(start), QByteArray()});
            break;
        }
        const bool crlf = newline > start && bytes.at(newline - 1) == '\r';
        const qsizetype textEnd = crlf ? newline - 1 : newline;
        lines.append({bytes.mid(start, textEnd - start), crlf ? "\r\n" : "\n"});
        start = newline + 1;
    }
    return lines;
}

QByteArray joinLines(const QList<Line> &lines)
{
    QByteArray bytes;
    for (const Line &line : lines)
        bytes += line.text + line.ending;
    return bytes;
}

ParsedLine parseLine(const QByteArray &text)
{
    const QByteArray trimmed = text.trimmed();
    if (trimmed.startsWith(';'))
        return {};
    if (trimmed.startsWith('[')) {
        const qsizetype close = trimmed.lastIndexOf(']');
        if (close < 0)
            return {};
        return {LineKind::Section, trimmed.mid(1, close - 1).trimmed(), QByteArray()};
    }
    const qsizetype equals = trimmed.indexOf('=');
    if (equals < 0)
        return {};
    return {LineKind::Key, trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Only ASCII letters fold, so the bytes of UTF-8 names are compared exactly.
bool sameName(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a.at(i)) != asciiLower(b.at(i)))
            return false;
    }
    return true;
}

ParsedLine parseLineAt(const QList<Line> &lines, qsizetype index)
{
    const QByteArray &text = lines.at(index).text;
    return parseLine(index == 0 && text.startsWith(utf8Bom) ? text.mid(utf8Bom.size()) : text);
}

Location locate(const QList<Line> &lines, const QByteArray &section, const QByteArray &key)
{
    Location location;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = parseLineAt(lines, i);
        if (parsed.kind == LineKind::Section) {
            if (location.sectionLine >= 0)
                break;
            if (sameName(parsed.name, section))
                location.sectionLine = location.lastContentLine = i;
            continue;
        }
        if (location.sectionLine < 0)
            continue;
        if (!lines.at(i).text.trimmed().isEmpty())
            location.lastContentLine = i;
        if (parsed.kind == LineKind::Key && location.keyLine < 0 && sameName(parsed.name, key))
            location.keyLine = i;
    }
    return location;
}

QByteArray withoutQuotes(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The file's own line ending, taken from its first ended line; LF for a new file.
QByteArray lineEndingOf(const QList<Line> &lines)
{
    for (const Line &line : lines) {
        if (!line.ending.isEmpty())
            return line.ending;
    }
    return "\n";
}

bool breaksLines(const QByteArray &text)
{
    return text.contains('\n') || text.contains('\r');
}
} // namespace

QByteArray readPrivateProfileString(const QByteArray &section, const QByteArray &key,
                                    const QByteArray &defaultValue, int bufferSize,
                                    const QString &path)
{
    if (bufferSize <= 0)
        return QByteArray();
    const qsizetype limit = bufferSize - 1;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return defaultValue.left(limit);
    const QList<Line> lines = splitLines(file.readAll());
    const Location location = locate(lines, section.trimmed(), key.trimmed());
    if (location.keyLine < 0)
        return defaultValue.left(limit);
    return withoutQuotes(parseLineAt(lines, location.keyLine).value).left(limit);
}

bool writePrivateProfileString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &value, const QString &path)
{
    const QByteArray sectionName = section.trimmed();
    const QByteArray keyName = key.trimmed();
    if (sectionName.isEmpty() || keyName.isEmpty() || breaksLines(sectionName) ||
        sectionName.contains(']') || breaksLines(keyName) || keyName.contains('=') ||
        breaksLines(value))
        return false;

    QByteArray original;
    QFile existing(path);
    if (existing.exists()) {
        // An unreadable file is not rewritten from scratch: its other lines would be lost.
        if (!existing.open(QIODevice::ReadOnly))
            return false;
        original = existing.readAll();
        existing.close();
    }

    QList<Line> lines = splitLines(original);
    const QByteArray ending = lineEndingOf(lines);
    const Location location = locate(lines, sectionName, keyName);
    // A line appended behind a last line without ending must not run into it.
    const auto endLastLine = [&lines, &ending](qsizetype index) {
        if (lines[index].ending.isEmpty())
            lines[index].ending = ending;
    };

    if (location.keyLine >= 0) {
        Line &line = lines[location.keyLine];
        line.text = parseLineAt(lines, location.keyLine).name + '=' + value;
    } else if (location.sectionLine >= 0) {
        endLastLine(location.lastContentLine);
        lines.insert(location.lastContentLine + 1, {keyName + '=' + value, ending});
    } else {
        if (!lines.isEmpty()) {
            endLastLine(lines.size() - 1);
            if (!lines.back().text.trimmed().isEmpty())
                lines.append({QByteArray(), ending});
        }
        lines.append({'[' + sectionName + ']', ending});
        lines.append({keyName + '=' + value, ending});
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(joinLines(lines));
    return file.commit();
}
