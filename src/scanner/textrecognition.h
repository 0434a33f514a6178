#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

// How long a recognition may take before it is given up.
constexpr quint32 recognitionTimeoutMs = 30000;

// <program folder>ocrbin/tesseract, the link to the system's Tesseract.
QString tesseractProgram();

// Recognises the Chinese and Latin text on an image file with Tesseract (the
// chi_sim data). Waits for Tesseract to finish, at most recognitionTimeoutMs,
// with a modal progress dialog over parent so windows repaint and nothing else
// is started meanwhile. Returns the whole text, 8-bit in the local encoding;
// empty when Tesseract is missing, fails or runs out of time (the log says why).
// Its output file lives in the private temporary folder and is deleted after
// reading.
QByteArray recognizeText(const QByteArray &imagePath, QWidget *parent);
