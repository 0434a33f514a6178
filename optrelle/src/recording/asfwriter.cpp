#include "asfwriter.h"

#include "optrellelog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace optrelle {

namespace {

// Fixed quantiser (2 best .. 31 worst), near the best: a still page changes
// little between frames, so even then a 1080p frame takes about 10 KB.
constexpr int quantiser = 4;
// A key frame about every second at the usual 30 fps, so seeking lands close.
constexpr int keyFrameInterval = 30;
constexpr AVRational milliseconds = {1, 1000};

// Object ids of the ASF header as they are stored (little-endian GUIDs).
constexpr std::array<std::uint8_t, 16> filePropertiesId = {
    0xa1, 0xdc, 0xab, 0x8c, 0x47, 0xa9, 0xcf, 0x11, 0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65};
constexpr std::array<std::uint8_t, 16> dataObjectId = {
    0x36, 0x26, 0xb2, 0x75, 0x8e, 0x66, 0xcf, 0x11, 0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c};
// Fields of the file properties object, from its start.
constexpr std::int64_t packetCountField = 56;
constexpr std::int64_t playDurationField = 64;
constexpr std::int64_t sendDurationField = 72;
constexpr std::int64_t prerollField = 80;
// The data object's own header before its first packet.
constexpr std::int64_t dataObjectHeaderSize = 50;
// ASF times count 100 ns.
constexpr std::int64_t unitsPerMs = 10'000;
// The header and the objects it holds are small; the muxer's are under 1 KB.
constexpr std::size_t headerReadSize = 64 * 1024;

std::int64_t offsetOf(const QByteArray &bytes, const std::array<std::uint8_t, 16> &id)
{
    return bytes.indexOf(QByteArrayView(reinterpret_cast<const char *>(id.data()), id.size()));
}

bool writeField(int fd, std::int64_t at, std::uint64_t value)
{
    const std::uint64_t stored = qToLittleEndian(value);
    return ::pwrite(fd, &stored, sizeof stored, at) == ssize_t(sizeof stored);
}

} // namespace

void AsfWriter::FormatContextDeleter::operator()(AVFormatContext *context) const
{
    if (context->pb)
        avio_closep(&context->pb);
    avformat_free_context(context);
}

void AsfWriter::CodecContextDeleter::operator()(AVCodecContext *context) const
{
    avcodec_free_context(&context);
}

void AsfWriter::PacketDeleter::operator()(AVPacket *packet) const
{
    av_packet_free(&packet);
}

AsfWriter::AsfWriter() = default;

AsfWriter::~AsfWriter()
{
    if (m_headerFd >= 0)
        ::close(m_headerFd);
}

bool AsfWriter::open(const std::string &path, QSize size)
{
    m_path = path;
    AVFormatContext *format = nullptr;
    const int result = avformat_alloc_output_context2(&format, nullptr, "asf", path.c_str());
    if (result < 0)
        return fail("no ASF muxer", result);
    m_format.reset(format);
    m_packet.reset(av_packet_alloc());
    if (!m_packet)
        return fail("no packet", AVERROR(ENOMEM));
    return openEncoder(size) && openFile();
}

bool AsfWriter::openEncoder(QSize size)
{
    const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_WMV2);
    if (!codec)
        return fail("no WMV2 encoder", AVERROR_ENCODER_NOT_FOUND);
    m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_encoder)
        return fail("no WMV2 encoder", AVERROR(ENOMEM));
    m_encoder->width = size.width();
    m_encoder->height = size.height();
    m_encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    m_encoder->time_base = milliseconds;
    m_encoder->gop_size = keyFrameInterval;
    m_encoder->flags |= AV_CODEC_FLAG_QSCALE;
    m_encoder->global_quality = FF_QP2LAMBDA * quantiser;
    const int result = avcodec_open2(m_encoder.get(), codec, nullptr);
    if (result < 0)
        return fail("the WMV2 encoder cannot open", result);
    return true;
}

bool AsfWriter::openFile()
{
    AVStream *stream = avformat_new_stream(m_format.get(), nullptr);
    if (!stream)
        return fail("no video stream", AVERROR(ENOMEM));
    int result = avcodec_parameters_from_context(stream->codecpar, m_encoder.get());
    if (result < 0)
        return fail("no video stream", result);
    stream->time_base = milliseconds;
    result = avio_open(&m_format->pb, m_path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0)
        return fail("cannot create the file", result);
    result = avformat_write_header(m_format.get(), nullptr);
    // The header fits in the output buffer: flush it to learn now whether the
    // file takes data at all.
    if (result >= 0) {
        avio_flush(m_format->pb);
        result = m_format->pb->error;
    }
    if (result < 0) {
        discardFile();
        return fail("cannot write the file", result);
    }
    if (!locateHeaderFields())
        qCWarning(optrelleLog, "%s: the header cannot be kept up to date", m_path.c_str());
    return true;
}

bool AsfWriter::locateHeaderFields()
{
    m_headerFd = ::open(m_path.c_str(), O_RDWR | O_CLOEXEC);
    if (m_headerFd < 0)
        return false;
    QByteArray header(headerReadSize, '\0');
    const ssize_t got = ::pread(m_headerFd, header.data(), header.size(), 0);
    header.truncate(std::max<ssize_t>(got, 0));
    m_filePropertiesAt = offsetOf(header, filePropertiesId);
    const std::int64_t dataAt = offsetOf(header, dataObjectId);
    if (m_filePropertiesAt < 0 || dataAt < 0 ||
        m_filePropertiesAt + prerollField + 8 > header.size() || m_format->packet_size == 0) {
        ::close(m_headerFd);
        m_headerFd = -1;
        return false;
    }
    m_packetsAt = dataAt + dataObjectHeaderSize;
    m_prerollMs = qFromLittleEndian<qint64>(header.constData() + m_filePropertiesAt + prerollField);
    return true;
}

void AsfWriter::refreshHeader(std::int64_t endMs)
{
    avio_flush(m_format->pb);
    const std::int64_t written = avio_tell(m_format->pb);
    const std::uint64_t packets =
        std::uint64_t(std::max<std::int64_t>(written - m_packetsAt, 0)) / m_format->packet_size;
    // A failed update leaves the header as it was: the recording goes on.
    const std::int64_t fields = m_filePropertiesAt;
    writeField(m_headerFd, fields + packetCountField, packets);
    writeField(m_headerFd, fields + playDurationField, (endMs + m_prerollMs) * unitsPerMs);
    writeField(m_headerFd, fields + sendDurationField, endMs * unitsPerMs);
    m_refreshedAtMs = endMs;
}

bool AsfWriter::write(AVFrame &frame)
{
    frame.quality = m_encoder->global_quality;
    const int result = avcodec_send_frame(m_encoder.get(), &frame);
    if (result < 0)
        return fail("encoding failed", result);
    if (!writePackets())
        return false;
    if (m_headerFd >= 0 && frame.pts - m_refreshedAtMs >= headerRefreshMs)
        refreshHeader(frame.pts);
    return true;
}

bool AsfWriter::writePackets()
{
    for (;;) {
        int result = avcodec_receive_packet(m_encoder.get(), m_packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return fail("encoding failed", result);
        av_packet_rescale_ts(m_packet.get(), m_encoder->time_base, m_format->streams[0]->time_base);
        m_packet->stream_index = 0;
        result = av_interleaved_write_frame(m_format.get(), m_packet.get());
        if (result < 0)
            return fail("writing the file failed", result);
    }
}

bool AsfWriter::finish()
{
    if (!m_format || !m_format->pb)
        return false;
    // Each step goes ahead after an earlier failure: whatever reaches the file
    // makes the part already written readable.
    if (avcodec_send_frame(m_encoder.get(), nullptr) >= 0)
        writePackets();
    int result = av_write_trailer(m_format.get());
    if (result < 0)
        fail("writing the end of the file failed", result);
    result = avio_closep(&m_format->pb);
    if (result < 0)
        fail("closing the file failed", result);
    return m_error.isEmpty();
}

bool AsfWriter::fail(const char *what, int averror)
{
    // The first failure is the cause; later ones follow from it.
    if (m_error.isEmpty()) {
        char reason[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(averror, reason, sizeof reason);
        m_error = QStringLiteral("%1: %2: %3")
                      .arg(QString::fromStdString(m_path), QLatin1String(what),
                           QString::fromLocal8Bit(reason));
    }
    return false;
}

void AsfWriter::discardFile()
{
    avio_closep(&m_format->pb);
    // A regular file only: a device such as /dev/full stays.
    std::error_code ignored;
    if (std::filesystem::is_regular_file(m_path, ignored))
        std::filesystem::remove(m_path, ignored);
}

} // namespace optrelle
