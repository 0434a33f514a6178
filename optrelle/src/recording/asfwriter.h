#pragma once

#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace optrelle {

// One ASF file of WMV2 video with a millisecond time base: encoder, muxer and
// the file, closed on destruction. Picture quality is a fixed quantiser rather
// than a bit rate, so text stays sharp whatever the frame rate turns out to be.
// Not thread-safe: one thread at a time.
//
// The muxer fills in the header's play time and packet count only at the end.
// So that a file whose writer is killed still has a duration and can be sought,
// every headerRefreshMs of video the data written is flushed and those header
// fields are brought up to date in place.
class AsfWriter
{
public:
    static constexpr std::int64_t headerRefreshMs = 500;

    AsfWriter();
    ~AsfWriter();
    AsfWriter(const AsfWriter &) = delete;
    AsfWriter &operator=(const AsfWriter &) = delete;

    // Creates the file and writes its header; size must be even. On failure
    // nothing is left behind at path and errorString() says why.
    bool open(const std::string &path, QSize size);
    // Encodes a YUV 4:2:0 picture of the open size; frame->pts in milliseconds,
    // increasing. False, with errorString(), when encoding or writing fails.
    bool write(AVFrame &frame);
    // Flushes the encoder, writes the trailer and closes the file. After a failed
    // write it still writes what it can, so the part written stays readable.
    bool finish();

    QString errorString() const { return m_error; }

private:
    bool openEncoder(QSize size);
    bool openFile();
    bool writePackets();
    bool fail(const char *what, int averror);
    void discardFile();
    // Finds the header fields refreshHeader() keeps up to date.
    bool locateHeaderFields();
    // The header as if the file ended after the video up to endMs.
    void refreshHeader(std::int64_t endMs);

    struct FormatContextDeleter
    {
        void operator()(AVFormatContext *context) const;
    };
    struct CodecContextDeleter
    {
        void operator()(AVCodecContext *context) const;
    };
    struct PacketDeleter
    {
        void operator()(AVPacket *packet) const;
    };

    std::string m_path;
    std::unique_ptr<AVFormatContext, FormatContextDeleter> m_format;
    std::unique_ptr<AVCodecContext, CodecContextDeleter> m_encoder;
    std::unique_ptr<AVPacket, PacketDeleter> m_packet;
    QString m_error;

    // A second descriptor of the file, for writing header fields in place.
    int m_headerFd = -1;
    std::int64_t m_filePropertiesAt = 0; // the file properties object
    std::int64_t m_packetsAt = 0;        // the first data packet
    std::int64_t m_prerollMs = 0;
    std::int64_t m_refreshedAtMs = 0;
};

} // namespace optrelle
