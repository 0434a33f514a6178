#pragma once

#include <QImage>

#include <array>
#include <vector>

// Turns the camera library's bottom-up BGR frames upright into a smaller 32-bit
// picture in one pass, sampling bilinearly at each picture pixel's centre: the
// picture the screen shows, so that painting it is a copy and not a second
// scaling of the whole frame. Keeps its tables and rows between frames.
class UprightScaler
{
public:
    // picture: Format_RGB32, no larger than the frame.
    void scale(const uchar *rows, int width, int height, QImage &picture);

    struct Tap
    {
        int left;                      // the byte of the column sampled with the next
        std::array<qint16, 8> weights; // left's share of 256 four times, then the next's
    };

private:
    void prepare(int width, int outWidth);

    std::vector<Tap> m_taps;
    std::vector<uchar> m_row; // a row of BGR mixed from two, the last pixel twice
    int m_width = 0;
};
