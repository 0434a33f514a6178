#pragma once

#include <QByteArray>

class QWidget;

// The separate annotation program that draws over the screen. Kelvora starts it
// once and sends it short commands ("ClearSrn", "Exit", "Switch", "Update") over
// the window-message channel; docs/copydata.md describes the exchange.

// Starts "<program folder>scribvane --kelvora"; a missing program is not an error.
void startAnnotationProgram();

// Sends text with sender's window id when the annotation program is listening;
// skipped silently otherwise. When it is found, foundLogLine (if given) is logged
// before the send. Returns whether the program was found.
bool sendAnnotationCommand(QWidget *sender, const QByteArray &text,
                           const char *foundLogLine = nullptr);
