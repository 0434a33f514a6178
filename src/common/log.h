#pragma once

#include <QByteArray>
#include <QString>

// Appends one line to the program's log: the local time as
// "YYYY-MM-DD hh:mm:ss   ", the formatted message (UTF-8) and "  kelvora\r\n".
// The file is opened and closed for every line, so it can be read at any moment.
// Safe to call from any thread; does nothing when the file cannot be opened.
void writeLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Logs a text another program sent as "<prefix><text>". Such texts are not
// trusted: bytes outside printable ASCII and the backslash are escaped ("\n",
// "\x1b", "\\"), the escaped text is cut to receivedTextLogLimit bytes, and at
// most receivedLinesPerSecond of these lines are written a second. What is left
// out is counted in one line about a second later, so a flood neither fills the
// disk nor hides the program's own lines.
void writeReceivedTextLog(const char *prefix, const QByteArray &text);
inline constexpr qsizetype receivedTextLogLimit = 200;
inline constexpr int receivedLinesPerSecond = 20;

// The text as writeReceivedTextLog writes it: escaped and cut.
QByteArray escapedReceivedText(const QByteArray &text);

// $XDG_STATE_HOME/kelvora/kelvora.log, or ~/.local/state/kelvora/kelvora.log.
QString logFilePath();
