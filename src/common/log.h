#pragma once

#include <QString>

// Appends one line to the program's log: the local time as
// "YYYY-MM-DD hh:mm:ss   ", the formatted message (UTF-8) and "  kelvora\r\n".
// The file is opened and closed for every line, so it can be read at any moment.
// Safe to call from any thread; does nothing when the file cannot be opened.
void writeLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

// $XDG_STATE_HOME/kelvora/kelvora.log, or ~/.local/state/kelvora/kelvora.log.
QString logFilePath();
