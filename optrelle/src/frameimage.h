#pragma once

#include "frame.h"

#include <QImage>

namespace optrelle {

// The frame's own buffer seen as an image, without copying: the picture appears
// upside down because the rows are bottom-up. Valid while the frame lives.
QImage wrapFrameUpsideDown(const Frame &frame);

// The frame pixels a region (fractions of the upright frame, see ManualCrop)
// covers; the whole frame for an empty region.
QRect regionInFrame(QSize frame, const QRectF &region);

// The size frameToImage gives for a frame of this size.
QSize imageSize(QSize frame, int quarterTurns, const QRectF &region);

// A copy of the frame as an upright image, turned clockwise by quarter turns.
// A region cuts it first (see regionInFrame).
QImage frameToImage(const Frame &frame, int quarterTurns = 0, const QRectF &region = {});

// An image laid into a frame (rows bottom-up), at the image's size.
void imageToFrame(const QImage &image, Frame &frame);

} // namespace optrelle
