// Writes a recorded camera stream: FRAMES JPEG frames of WIDTH x HEIGHT, 4:2:2
// at quality 88 as document cameras send them, concatenated as `ffmpeg -f mjpeg`
// writes them. The scene is a light page on a darker desk with a red square in
// its top-left corner and a bar that moves from frame to frame. With "damaged",
// every second frame lacks its Huffman tables (as many UVC cameras send them)
// and every fourth is cut short in its data. With "files", each frame is also
// written whole as OUTPUT-N.jpg.
// Usage: makecamerastream OUTPUT WIDTH HEIGHT FRAMES [damaged] [files]
#include "jpegwithouthuffmantables.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes scene(int width, int height, int frame, int frames)
{
    Bytes rgb(std::size_t(width) * height * 3);
    const int marker = height / 5;
    const int bar = width * (frame % frames) / frames;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char *p = rgb.data() + (std::size_t(y) * width + x) * 3;
            const bool page = x > width / 10 && x < width * 9 / 10 && y > height / 10;
            int r = page ? 235 : 120, g = page ? 232 : 85, b = page ? 225 : 60;
            if (x < marker && y < marker)
                r = 220, g = 20, b = 20;
            else if (page && ((y / 24) % 3 == 0) && ((x / 9) % 4 != 0))
                r = g = b = 40; // lines of print
            if (std::abs(x - bar) < 6)
                r = 20, g = 60, b = 200;
            p[0] = (unsigned char)r, p[1] = (unsigned char)g, p[2] = (unsigned char)b;
        }
    return rgb;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s OUTPUT WIDTH HEIGHT FRAMES [damaged] [files]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]), frames = std::atoi(argv[4]);
    const std::vector<std::string> options(argv + 5, argv + argc);
    const bool damaged = std::find(options.begin(), options.end(), "damaged") != options.end();
    const bool files = std::find(options.begin(), options.end(), "files") != options.end();
    if (width <= 0 || height <= 0 || frames <= 0)
        return 2;
    std::ofstream out(argv[1], std::ios::binary);
    tjhandle encoder = tjInitCompress();
    for (int i = 0; i < frames; ++i) {
        const Bytes rgb = scene(width, height, i, frames);
        unsigned char *jpeg = nullptr;
        unsigned long size = 0;
        if (tjCompress2(encoder, rgb.data(), width, width * 3, height, TJPF_RGB, &jpeg, &size,
                        TJSAMP_422, 88, 0) != 0) {
            std::fprintf(stderr, "%s\n", tjGetErrorStr2(encoder));
            return 1;
        }
        Bytes frame(jpeg, jpeg + size);
        tjFree(jpeg);
        if (damaged && i % 2 == 1)
            frame = jpegWithoutHuffmanTables(frame);
        if (damaged && i % 4 == 2)
            frame.resize(frame.size() * 2 / 3);
        out.write(reinterpret_cast<const char *>(frame.data()), std::streamsize(frame.size()));
        if (files)
            std::ofstream(std::string(argv[1]) + "-" + std::to_string(i) + ".jpg", std::ios::binary)
                .write(reinterpret_cast<const char *>(frame.data()), std::streamsize(frame.size()));
    }
    tjDestroy(encoder);
    return out ? 0 : 1;
}
