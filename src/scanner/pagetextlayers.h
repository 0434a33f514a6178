#pragma once

#include <QByteArrayList>
#include <QStringList>

#include <optional>

class QWidget;

// How long one page's recognition may take before it is given up.
constexpr int pageRecognitionTimeoutMs = 120000;

// Recognises the Chinese and Latin text (chi_sim+eng) of page images with
// Tesseract, each page into its text-only PDF: the words invisible, where the
// image shows them, to be laid under the image of a searchable PDF. Pages run in
// parallel, as many as there are cores, each Tesseract on one thread. A progress
// dialog over parent counts the pages and can cancel; the event loop keeps
// running, so windows repaint, while the modal dialog keeps a second
// recognition from starting.
//
// Returns, for each image in order, its text layer's path in the private
// temporary folder (the caller removes them), or an empty string where the
// recognition failed (logged); std::nullopt when the user cancelled, which
// leaves no layer behind.
std::optional<QStringList> recognizeTextLayers(const QByteArrayList &images, QWidget *parent);
