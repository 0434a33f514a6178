#pragma once

#include <QByteArray>
#include <QString>

// Windows-style INI ("private profile") files such as conf.ini, read and written
// with the rules of GetPrivateProfileStringA and WritePrivateProfileStringA:
// "[section]" lines, "key=value" lines, ';' starts a comment line. Section and key
// names match ASCII case-insensitively, blanks around names and values do not
// count, and when a section or key appears twice the first one wins. Names and
// values are raw bytes (UTF-8 paths pass through unchanged).

// Returns the value of key in section of the INI file at path, or defaultValue
// when the file, section or key is missing. bufferSize as in Win32: the result
// is cut to bufferSize - 1 bytes. One pair of surrounding quotes (double or
// single) is stripped from a found value before the cut; "key=" gives an empty
// value, not the default.
QByteArray readPrivateProfileString(const QByteArray &section, const QByteArray &key,
                                    const QByteArray &defaultValue, int bufferSize,
                                    const QString &path);

// Sets key in section; returns false when the file could not be written.
// Every other line stays byte for byte: the key's line is replaced in place,
// a new key goes after the last non-blank line of its section, a new section is
// appended after a blank line. New lines follow the file's line ending (LF for a
// new file). The file is replaced atomically, so a reader never sees half of it;
// a missing file is created, a missing folder is not. Names or a value that would
// break the file's lines (line breaks, a '=' in the key, a ']' in the section, an
// empty key) are refused with false.
bool writePrivateProfileString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &value, const QString &path);
