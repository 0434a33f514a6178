#pragma once

// A recording read back with libavformat, as a player reads it.
#include <QFile>
#include <QImage>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct RecordingReadBack
{
    QByteArray format; // "asf"; empty when unreadable or not one stream
    AVCodecID codec = AV_CODEC_ID_NONE;
    QSize size;
    double seconds = 0;
    QList<QImage> lumas;             // every picture's brightness, decoded
    std::int64_t seekLandsAtMs = -1; // where a seek back from seekToMs lands
};

inline RecordingReadBack readRecording(const QString &path, std::int64_t seekToMs = 0)
{
    RecordingReadBack recording;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return recording;
    if (avformat_find_stream_info(format, nullptr) < 0 || format->nb_streams != 1) {
        avformat_close_input(&format);
        return recording;
    }
    recording.format = format->iformat->name;
    recording.seconds = double(format->duration) / AV_TIME_BASE;
    const AVCodecParameters *parameters = format->streams[0]->codecpar;
    recording.codec = parameters->codec_id;
    recording.size = QSize(parameters->width, parameters->height);
    AVCodecContext *decoder = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
    avcodec_parameters_to_context(decoder, parameters);
    avcodec_open2(decoder, nullptr, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *decoded = av_frame_alloc();
    for (bool more = true; more;) {
        more = av_read_frame(format, packet) >= 0;
        avcodec_send_packet(decoder, more ? packet : nullptr);
        av_packet_unref(packet);
        while (avcodec_receive_frame(decoder, decoded) >= 0)
            recording.lumas << QImage(decoded->data[0], decoded->width, decoded->height,
                                      decoded->linesize[0], QImage::Format_Grayscale8)
                                   .copy();
    }
    if (av_seek_frame(format, 0, seekToMs, AVSEEK_FLAG_BACKWARD) >= 0 &&
        av_read_frame(format, packet) == 0)
        recording.seekLandsAtMs = packet->pts;
    av_frame_free(&decoded);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return recording;
}
