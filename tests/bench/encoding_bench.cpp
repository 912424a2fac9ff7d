// Lines per second of the route reader's inner loop: a large Shift_JIS route
// text cut into lines, each converted to UTF-8 by a ShiftJIS -> UTF8
// converter and split into its comma-separated fields with StringNthField.
#include <windows.h>

#include <cstdio>
#include <string>

#include "startup/intrinsicClass.h"
#include "orvane/exports.h"
#include "startup/RuntimeMain.h"
#include "strings/TextEncodingUtil.h"
#include "strings/basicstr.h"
#include "strings/string.h"

namespace {

constexpr int kLines = 200000;

// Statements of a route: distances, curves, gradients, stations with
// Japanese names and half-width katakana readings, lineside objects.
std::string RouteText() {
    const char* const kStations[] = {"\x93\x8C\x8B\x9E\x89\x77",  // 東京駅
                                     "\x98\x48\x90\xFC\x89\x77",  // 路線駅
                                     "\x8B\xC8\x90\xFC"};          // 曲線
    std::string text;
    text.reserve(size_t(kLines) * 40);
    char line[160];
    for (int i = 0; i < kLines; ++i) {
        int metres = i * 25;
        switch (i % 5) {
        case 0: std::snprintf(line, sizeof line, "%d,.curve %d,0.%d;\r\n", metres, 400 + i % 800, i % 10); break;
        case 1: std::snprintf(line, sizeof line, "%d,.pitch %d;\r\n", metres, i % 35 - 17); break;
        case 2:
            std::snprintf(line, sizeof line, "%d,.sta %s,\xC4\xB3\xB7\xAE\xB3,%d,%d,0,1;\r\n", metres,
                          kStations[i % 3], 30 + i % 30, 15);
            break;
        case 3: std::snprintf(line, sizeof line, "%d,.limit %d;\r\n", metres, 60 + i % 70); break;
        default: std::snprintf(line, sizeof line, "%d,.freeobj 0,%d,3.5,0,0;\r\n", metres, i % 40); break;
        }
        text += line;
    }
    return text;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main() {
    RuntimeInitProcessState(GetModuleHandleA(nullptr));
    BuildIntrinsicDefinitions();
    InstallTextConverters();

    std::string bytes = RouteText();
    StringHandle text = StringHandle::Adopt(StringMake(bytes.data(), int32_t(bytes.size())));
    text.SetEncoding(kEncodingShiftJIS);

    ObjectHeader* encodings = GetEncodingsObject();
    ObjectHeader* sjis = EncodingsGetter(encodings, 89);
    ObjectHeader* utf8 = EncodingsGetter(encodings, 1);
    ObjectHeader* converter = getTextConverter(sjis, utf8);
    StringHandle comma = StringHandle::Adopt(StringMakeC(",", kEncodingUTF8));
    const uint8_t crlf[2] = {'\r', '\n'};

    LARGE_INTEGER frequency, start, converted, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int64_t lines = 0, fields = 0, fieldBytes = 0;
    const uint8_t* all = reinterpret_cast<const uint8_t*>(text.Text());
    int32_t length = text.Length(), at = 0;
    while (at < length) {
        int32_t found = InStrBytes(at + 1, all, length, crlf, 2);
        int32_t stop = found ? found - 1 : length;
        StringHandle line = text.Sub(at, stop - at);
        at = stop + 2;
        StringHandle u = StringHandle::Adopt(textConverterConvert(converter, line.Get()));
        int32_t count = StringCountFields(u.Get(), comma.Get());
        for (int32_t n = 1; n <= count; ++n) {
            StringHandle field = StringHandle::Adopt(StringNthField(u.Get(), comma.Get(), n));
            fieldBytes += field.Length();
            ++fields;
        }
        ++lines;
    }
    QueryPerformanceCounter(&converted);

    // The conversion alone, for comparison.
    at = 0;
    int64_t convertedBytes = 0;
    LARGE_INTEGER convertStart;
    QueryPerformanceCounter(&convertStart);
    while (at < length) {
        int32_t found = InStrBytes(at + 1, all, length, crlf, 2);
        int32_t stop = found ? found - 1 : length;
        StringHandle line = text.Sub(at, stop - at);
        at = stop + 2;
        StringHandle u = StringHandle::Adopt(textConverterConvert(converter, line.Get()));
        convertedBytes += u.Length();
    }
    QueryPerformanceCounter(&end);

    double total = Seconds(start, converted, frequency);
    double convertOnly = Seconds(convertStart, end, frequency);
    std::printf("route text: %lld lines, %d Shift_JIS bytes, %lld fields (%lld bytes)\n", (long long)lines,
                int(length), (long long)fields, (long long)fieldBytes);
    std::printf("convert + split: %.3f s, %.0f lines per second\n", total, double(lines) / total);
    std::printf("convert only:    %.3f s, %.0f lines per second (%lld UTF-8 bytes)\n", convertOnly,
                double(lines) / convertOnly, (long long)convertedBytes);

    RuntimeUnlockObject(converter);
    RuntimeUnlockObject(utf8);
    RuntimeUnlockObject(sjis);
    RuntimeUnlockObject(encodings);
    return 0;
}
