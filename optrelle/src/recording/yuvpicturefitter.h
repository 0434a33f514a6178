#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <memory>

struct AVFrame;
struct SwsContext;

namespace optrelle {

// Lays pictures of any size and format into a YUV 4:2:0 frame of one even size:
// scaled to fit with their proportions kept, centred, black around them.
class YuvPictureFitter
{
public:
    explicit YuvPictureFitter(QSize frameSize);
    ~YuvPictureFitter();
    YuvPictureFitter(const YuvPictureFitter &) = delete;
    YuvPictureFitter &operator=(const YuvPictureFitter &) = delete;

    // Where a picture of this size goes in the frame: even position and size, so
    // the half-size colour planes line up with it.
    static QRect fittedRect(QSize picture, QSize frame);

    // The frame holding picture, or null when memory runs out. Valid until the
    // next call; a frame the encoder still references is copied, not overwritten.
    AVFrame *fit(const QImage &picture);

private:
    void fillBlack();

    struct FrameDeleter
    {
        void operator()(AVFrame *frame) const;
    };
    struct ScalerDeleter
    {
        void operator()(SwsContext *scaler) const;
    };

    const QSize m_frameSize;
    std::unique_ptr<AVFrame, FrameDeleter> m_frame;
    std::unique_ptr<SwsContext, ScalerDeleter> m_scaler;
};

} // namespace optrelle
