#pragma once

#include <QByteArray>

// The separate annotation program that draws over the screen. Kelvora starts it
// once and sends it short commands ("ClearSrn", "Exit", "Switch", "Update") over
// the window-message channel; docs/copydata.md describes the exchange.

// Starts "<program folder>scribvane --kelvora"; a missing program is not an error.
void startAnnotationProgram();

// Sends text with the sender's native window id when the annotation program is
// listening; skipped silently otherwise. Returns at once: the commands go out in
// order from a thread of their own, so a hung program never freezes a window.
// When the program is found, foundLogLine (if given) is logged before the send.
void sendAnnotationCommand(quint64 senderWindow, const QByteArray &text,
                           const char *foundLogLine = nullptr);
// Waits until the commands sent so far have been delivered or skipped, at most a
// second; for the last command before the process ends.
void waitForAnnotationCommands();
