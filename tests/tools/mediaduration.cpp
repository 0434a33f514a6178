// Prints a media file's duration in seconds as libavformat reads it (what
// ffprobe shows), for the end-to-end tests. Exit 1 when it has none.
//
//   mediaduration FILE

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mediaduration FILE\n");
        return 64;
    }
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, argv[1], nullptr, nullptr) < 0)
        return 1;
    const bool known =
        avformat_find_stream_info(format, nullptr) >= 0 && format->duration != AV_NOPTS_VALUE;
    if (known)
        std::printf("%.3f\n", double(format->duration) / AV_TIME_BASE);
    avformat_close_input(&format);
    return known ? 0 : 1;
}
