#include "routeviewer/BmpWriter.h"

namespace route {

namespace {

constexpr int32_t kHeaderSize = 54;
uint8_t gRow[kBmpMaxSide * 3 + 4];  // one padded row, bottom row first in the file

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

}  // namespace

bool WriteBmp(void* file, ObjectHeader* picture, int32_t width, int32_t height) {
    if (!file || !picture || width < 1 || height < 1 || width > kBmpMaxSide || height > kBmpMaxSide) return false;
    const int32_t rowBytes = (width * 3 + 3) / 4 * 4;
    uint8_t header[kHeaderSize];
    for (int32_t i = 0; i < kHeaderSize; ++i) header[i] = 0;
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, uint32_t(kHeaderSize + rowBytes * height));
    Put32(header + 10, kHeaderSize);
    Put32(header + 14, 40);  // BITMAPINFOHEADER
    Put32(header + 18, uint32_t(width));
    Put32(header + 22, uint32_t(height));  // positive: bottom-up
    Put16(header + 26, 1);
    Put16(header + 28, 24);
    Put32(header + 34, uint32_t(rowBytes * height));
    Put32(header + 38, 2835);  // 72 dpi
    Put32(header + 42, 2835);

    Object g = Object::Adopt(pictureGraphicsGetter(picture, 0));
    bool ok = g && RuntimeOutputFileWrite(file, header, kHeaderSize);
    for (int32_t y = height - 1; ok && y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t c = graphicsPixelGetter(g.Get(), x, y);
            gRow[3 * x] = uint8_t(c);
            gRow[3 * x + 1] = uint8_t(c >> 8);
            gRow[3 * x + 2] = uint8_t(c >> 16);
        }
        for (int32_t i = width * 3; i < rowBytes; ++i) gRow[i] = 0;
        ok = RuntimeOutputFileWrite(file, gRow, rowBytes) != 0;
    }
    return ok;
}

}  // namespace route
