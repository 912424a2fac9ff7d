// OrvaneRouteMap.exe end to end: maps of the sample routes checked pixel by
// pixel at points computed from the route, every failure's exit code and
// message with no output left behind, and hostile routes that must end in a
// map or a clean refusal.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/TestFiles.h"

namespace {

constexpr DWORD kChildTimeoutMs = 120000;  // Wine under emulation starts slowly
constexpr double kPi = 3.14159265358979;

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring WinePath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return Widen(path);
}

std::wstring ToolExe() { return WinePath(ORVANE_ROUTEMAP_EXE); }
std::wstring Sample(const char* name) { return WinePath(std::string(ORVANE_SAMPLES_DIR) + "/" + name); }

std::wstring FreshFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"orvane_routemap_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                          std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x40000000;
    if (ok) {
        bytes.resize(size_t(size.QuadPart));
        DWORD got = 0;
        ok = bytes.empty() || (ReadFile(file, &bytes[0], DWORD(bytes.size()), &got, nullptr) && got == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                                written == bytes.size());
    CloseHandle(file);
    return ok;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct ToolRun {
    bool timedOut = false;
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err;
};

// Runs the tool in folder with the arguments (each quoted), standard output
// and error into files.
ToolRun RunTool(const std::wstring& folder, const std::vector<std::wstring>& args) {
    ToolRun run;
    std::wstring commandLine = L"\"" + ToolExe() + L"\"";
    for (const std::wstring& a : args) commandLine += L" \"" + a + L"\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::wstring outPath = folder + L"\\stdout.txt", errPath = folder + L"\\stderr.txt";
    HANDLE out = CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(ToolExe().c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) return run;
    if (WaitForSingleObject(process.hProcess, kChildTimeoutMs) == WAIT_TIMEOUT) {
        run.timedOut = true;
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 10000);
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ReadBytes(outPath, run.out);
    ReadBytes(errPath, run.err);
    return run;
}

// ---- The image ---------------------------------------------------------------------------------

struct Bmp {
    int width = 0, height = 0;
    std::string bytes;
    uint32_t At(int x, int y) const {  // 0xRRGGBB; top-down coordinates
        if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
        const int row = (width * 3 + 3) / 4 * 4;
        const size_t p = 54 + size_t(height - 1 - y) * row + size_t(x) * 3;
        const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
        return uint32_t(b[p + 2]) << 16 | uint32_t(b[p + 1]) << 8 | b[p];
    }
    // Whether the colour is within one pixel of (x, y).
    bool Near(double x, double y, uint32_t colour) const {
        const int cx = int(std::lround(x)), cy = int(std::lround(y));
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (At(cx + dx, cy + dy) == colour) return true;
        return false;
    }
    int Count(int x0, int y0, int x1, int y1, uint32_t colour) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += At(x, y) == colour;
        return n;
    }
};

bool LoadBmp(const std::wstring& path, Bmp& bmp) {
    if (!ReadBytes(path, bmp.bytes) || bmp.bytes.size() < 54 || bmp.bytes[0] != 'B' || bmp.bytes[1] != 'M')
        return false;
    auto get32 = [&](size_t p) {
        const auto* b = reinterpret_cast<const uint8_t*>(bmp.bytes.data()) + p;
        return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
    };
    bmp.width = get32(18);
    bmp.height = get32(22);
    const size_t row = size_t(bmp.width * 3 + 3) / 4 * 4;
    return bmp.width > 0 && bmp.height > 0 && get32(10) == 54 && bmp.bytes.size() == 54 + row * bmp.height;
}

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kOrange = 0xFFC000;
constexpr uint32_t kCyan = 0x00FFFF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kRed = 0xFF0000;

// ---- The route's geometry, worked out here from the statements ---------------------------------

struct Curve {
    double at, radius;  // radius 0 is straight
};

struct Pose {
    double x, y, t;
};

// The track at distance d (>= start) in pixels, as the walk lays it: the
// skip phase turns the heading by each curve before the start, and the
// drawn track begins at the start point.
Pose TrackAt(const std::vector<Curve>& curves, double start, double angleDegrees, double s, double d) {
    auto radius = [](double r) { return r == 0 ? 99999999.0 : r; };
    double heading = angleDegrees * kPi / 180, current = 99999999.0, segmentStart = 0;
    size_t i = 0;
    for (; i < curves.size() && curves[i].at < start; ++i) {
        heading += (curves[i].at - segmentStart) / current;
        current = radius(curves[i].radius);
        segmentStart = curves[i].at;
    }
    Pose p{50 / s, 259 / s, heading};
    double from = start;
    auto advance = [&](double to) {
        const double f = (to - from) / current;
        p.x += current * (std::sin(p.t + f) - std::sin(p.t));
        p.y += current * (std::cos(p.t) - std::cos(p.t + f));
        p.t += f;
        from = to;
    };
    for (; i < curves.size() && curves[i].at <= d; ++i) {
        advance(curves[i].at);
        current = radius(curves[i].radius);
    }
    advance(d);
    return Pose{p.x * s, p.y * s, p.t};
}

// A point at distance side pixels to the right of the track (negative: left).
void Beside(const Pose& p, double side, double* x, double* y) {
    *x = p.x - std::cos(p.t - kPi / 2) * side;
    *y = p.y - std::sin(p.t - kPi / 2) * side;
}

const std::vector<Curve> kHanamizuki = {{100, 400}, {350, 0}, {700, -300}, {900, 0}, {1400, 250}, {1600, 0}};

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
}

class RouteMap : public ::testing::Test {
protected:
    void SetUp() override { folder_ = FreshFolder(); }
    void TearDown() override { RemoveFolder(folder_); }
    std::wstring In(const wchar_t* name) const { return folder_ + L"\\" + name; }

    Bmp Map(const std::vector<std::wstring>& options, const char* sample = "hanamizuki.csv") {
        std::vector<std::wstring> args = {Sample(sample), In(L"map.bmp")};
        args.insert(args.end(), options.begin(), options.end());
        ToolRun run = RunTool(folder_, args);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_EQ(run.err, "");
        Bmp bmp;
        EXPECT_TRUE(LoadBmp(In(L"map.bmp"), bmp));
        return bmp;
    }

    std::wstring folder_;
};

// ---- Maps -----------------------------------------------------------------------------------------

struct MapCase {
    const char* name;
    std::vector<std::wstring> options;
    double scaleValue, start, angle;
    int width, height;
};

TEST_F(RouteMap, TrackMarksPathAndScaleBarWhereTheRoutePutsThem) {
    const MapCase cases[] = {
        {"defaults", {}, -100, 0, 0, 656, 465},
        {"zoomed", {L"--scale", L"-50"}, -50, 0, 0, 656, 465},
        {"turned and started later", {L"--scale", L"-40", L"--angle", L"-45", L"--start", L"400"}, -40, 400, -45, 656, 465},
        {"another canvas", {L"--size", L"800x300", L"--scale", L"-60", L"--angle", L"-20"}, -60, 0, -20, 800, 300},
    };
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.name);
        Bmp map = Map(c.options);
        ASSERT_EQ(map.width, c.width);
        ASSERT_EQ(map.height, c.height);
        const double s = std::pow(10.0, c.scaleValue / 100);
        const double startY = double((c.height + 53) / 2);
        auto at = [&](double d) {
            Pose p = TrackAt(kHanamizuki, c.start, c.angle, s, d);
            p.y += startY - 259;
            return p;
        };
        // The track at the middle of segments away from any mark.
        for (double d : {225.0, 800.0, 1100.0, 1500.0, 1700.0}) {
            if (d < c.start) continue;
            const Pose p = at(d);
            ASSERT_TRUE(p.x > 1 && p.y > 20 && p.x < c.width - 1 && p.y < c.height - 30) << "off the canvas: " << d;
            EXPECT_TRUE(map.Near(p.x, p.y, kOrange)) << "track at " << d << " m: (" << p.x << ", " << p.y << ")";
        }
        // The start point.
        EXPECT_TRUE(map.Near(50, startY, kOrange) || map.Near(50, startY, kGreen) || map.Near(50, startY, kCyan))
            << "start point";
        // Speed limit at 500: its line runs 26 pixels to the right.
        if (c.start <= 500) {
            double x, y;
            Beside(at(500), 20, &x, &y);
            EXPECT_TRUE(map.Near(x, y, kCyan)) << "limit mark at 500 m";
        }
        // Station at 1200: 10 pixels right, then a 30-pixel bar along the track.
        {
            const Pose p = at(1200);
            double x, y;
            Beside(p, 10, &x, &y);
            EXPECT_TRUE(map.Near(x + std::cos(p.t) * 20, y + std::sin(p.t) * 20, kGreen)) << "station bar at 1200 m";
        }
        // Gradient at 1000 (Track.Pitch -5): 7 pixels to the right, red.
        {
            double x, y;
            Beside(at(1000), 5, &x, &y);
            EXPECT_TRUE(map.Near(x, y, kRed)) << "gradient mark at 1000 m";
        }
        // Curve at 1400: 7 pixels to the left, orange.
        {
            double x, y;
            Beside(at(1400), -5, &x, &y);
            EXPECT_TRUE(map.Near(x, y, kOrange)) << "curve mark at 1400 m";
        }
        // The scale bar: a rectangle 3 pixels high ending 5 pixels from the
        // right and bottom edges, bar x s pixels long.
        const double bar = std::ceil(100 / s / 100) * 100 * s;
        const int right = c.width - 5, bottom = c.height - 5;
        EXPECT_EQ(map.At(right, bottom), kOrange);
        EXPECT_EQ(map.At(right - int(bar / 2), bottom), kOrange);
        EXPECT_EQ(map.At(right - int(bar / 2), bottom - 3), kOrange);
        EXPECT_EQ(map.At(right - int(bar / 2), bottom - 1), kBlack);
        EXPECT_EQ(map.At(right + 2, bottom), kBlack);
        EXPECT_TRUE(map.Near(right - bar, bottom - 1, kOrange));
        EXPECT_EQ(map.At(int(right - bar) - 3, bottom), kBlack);
        // Its label above the middle of the bar.
        EXPECT_GT(map.Count(int(right - bar / 2) - 30, bottom - 25, int(right - bar / 2) + 30, bottom - 5, kOrange), 10);
        // The path in the upper left corner.
        EXPECT_GT(map.Count(5, 0, 200, 18, kOrange), 30);
        EXPECT_EQ(map.At(2, 2), kBlack);
        // Black elsewhere.
        EXPECT_EQ(map.At(c.width - 10, 40), kBlack);
    }
}

TEST_F(RouteMap, LinesideObjectsOnlyWithFreeObj) {
    // ",.freeobj 0;2;-6;0;" at 700: 6 m to the right of the track.
    const double s = 1;  // slider 0
    const Pose p = TrackAt(kHanamizuki, 600, 0, s, 700);
    double x, y;
    Beside(p, 6, &x, &y);
    Bmp with = Map({L"--scale", L"0", L"--start", L"600", L"--freeobj"});
    EXPECT_TRUE(with.Near(x - 2, y, kRed) && with.Near(x, y - 2, kRed) && with.Near(x, y + 2, kRed)) << x << ", " << y;
    Bmp without = Map({L"--scale", L"0", L"--start", L"600"});
    EXPECT_FALSE(without.Near(x, y - 2, kRed));
}

TEST_F(RouteMap, SwitchesTakeTheirMarksAway) {
    Bmp all = Map({L"--scale", L"-50"});
    Bmp none = Map({L"--scale", L"-50", L"--no-curve", L"--no-pitch", L"--no-limit", L"--no-sta"});
    auto count = [](const Bmp& b, uint32_t colour) { return b.Count(0, 20, b.width, b.height - 30, colour); };
    EXPECT_GT(count(all, kGreen), 50);
    EXPECT_GT(count(all, kCyan), 20);
    EXPECT_GT(count(all, kRed), 20);
    EXPECT_EQ(count(none, kGreen), 0);
    EXPECT_EQ(count(none, kCyan), 0);
    EXPECT_EQ(count(none, kRed), 0);
    // Curves still shape the track: it passes the same points.
    const double s = std::pow(10.0, -0.5);
    for (double d : {225.0, 800.0, 1500.0}) {
        const Pose p = TrackAt(kHanamizuki, 0, 0, s, d);
        EXPECT_TRUE(none.Near(p.x, p.y, kOrange)) << d;
    }
}

TEST_F(RouteMap, EverySampleRouteGivesAMap) {
    for (const char* sample : {"hanamizuki.csv", "kogane.csv", "minatomachi.csv"}) {
        SCOPED_TRACE(sample);
        Bmp map = Map({L"--freeobj"}, sample);
        EXPECT_GT(map.Count(40, 100, 400, 400, kOrange), 20);
        EXPECT_GT(map.Count(40, 100, 400, 400, kGreen), 10);
    }
}

// ---- Failures -------------------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    std::vector<std::wstring> args;  // %R: an existing route, %O: the output in the folder
    DWORD exitCode;
    const char* message;
};

TEST_F(RouteMap, EveryFailureHasItsExitCodeAndMessageAndWritesNothing) {
    const FailureCase cases[] = {
        {"no arguments", {}, 2, "OrvaneRouteMap: a route file and an output image are needed\n"},
        {"only a route", {L"%R"}, 2, "OrvaneRouteMap: a route file and an output image are needed\n"},
        {"three paths", {L"%R", L"%O", L"extra.bmp"}, 2, "OrvaneRouteMap: one route file and one output image only; unexpected: extra.bmp\n"},
        {"unknown option", {L"%R", L"%O", L"--bogus"}, 2, "OrvaneRouteMap: unknown option: --bogus\n"},
        {"missing value", {L"%R", L"%O", L"--scale"}, 2, "OrvaneRouteMap: a value is missing after --scale\n"},
        {"scale out of range", {L"%R", L"%O", L"--scale", L"51"}, 2, "OrvaneRouteMap: --scale wants an integer from -200 to 50, not: 51\n"},
        {"bad size", {L"%R", L"%O", L"--size", L"0x10"}, 2, "OrvaneRouteMap: --size wants WIDTHxHEIGHT, each 1 to 8192, not: 0x10\n"},
        {"size without x", {L"%R", L"%O", L"--size", L"656"}, 2, "OrvaneRouteMap: --size wants WIDTHxHEIGHT, each 1 to 8192, not: 656\n"},
        {"start not a number", {L"%R", L"%O", L"--start", L"abc"}, 2, "OrvaneRouteMap: a number is wanted, not: abc\n"},
        {"empty route path", {L"", L"%O"}, 2, "OrvaneRouteMap: an empty path was given\n"},
        {"missing route", {L"no such route.csv", L"%O"}, 3, "OrvaneRouteMap: cannot read the route file: no such route.csv\n"},
        {"route is a folder", {L".", L"%O"}, 3, "OrvaneRouteMap: cannot read the route file: .\n"},
        {"output folder missing", {L"%R", L"no such folder\\map.bmp"}, 4, "OrvaneRouteMap: cannot write the image: no such folder\\map.bmp\n"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::wstring> args;
        for (const std::wstring& a : c.args)
            args.push_back(a == L"%R" ? Sample("kogane.csv") : a == L"%O" ? In(L"map.bmp") : a);
        ToolRun run = RunTool(folder_, args);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.exitCode);
        const std::string want = c.exitCode == 2 ? std::string(c.message) + "\nTry OrvaneRouteMap.exe --help\n" : c.message;
        EXPECT_EQ(run.err, want);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(Exists(In(L"map.bmp")));
    }
}

TEST_F(RouteMap, HelpListsEveryOption) {
    ToolRun run = RunTool(folder_, {L"--help"});
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    for (const char* option : {"--size", "--scale", "--start", "--angle", "--no-curve", "--no-pitch", "--no-limit",
                               "--no-sta", "--freeobj", "--profile", "--report", "--help"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

// ---- Report and profile ---------------------------------------------------------------------------

TEST_F(RouteMap, ReportOfASampleRoute) {
    const std::wstring route = Sample("kogane.csv");
    ToolRun run = RunTool(folder_, {route, In(L"map.bmp"), L"--report"});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    std::string path;
    for (wchar_t c : route) path.push_back(char(c));
    EXPECT_EQ(run.out, "route: " + path + "\n"
              "length: 1500 m (from 0 to 1500)\n"
              "statements: 13 (curve 5, pitch 3, limit 2, sta 3, freeobj 0, other 0)\n"
              "stations: 3\n"
              "  0 m \xE9\xBB\x84\xE9\x87\x91\n"
              "  800 m \xE6\xB9\xAF\xE3\x83\x8E\xE6\xB2\xA2\n"
              "  1500 m \xE5\xA5\xA5\xE9\xBB\x84\xE9\x87\x91\n"
              "smallest curve radius: -180 m\n"
              "steepest gradient: 25 per mille\n"
              "suspicious lines: 0\n");
    EXPECT_TRUE(Exists(In(L"map.bmp")));
}

TEST_F(RouteMap, ReportListsSuspiciousLinesWithTheirNumbers) {
    ASSERT_TRUE(WriteBytes(In(L"odd.csv"), Lines({"0,.sta A;", "100,.curve abc;0", "50,.pitch 3", "200,.curve",
                                                  "300,.sta;", "400,.freeobj 0;1;;0;", "500,.pitch 99999999999"})));
    ToolRun run = RunTool(folder_, {In(L"odd.csv"), In(L"map.bmp"), L"--report"});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const size_t at = run.out.find("suspicious lines: ");
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(at), "suspicious lines: 6\n"
                                  "  line 2: a number that could not be read: abc\n"
                                  "  line 3: distance out of order: 50 after 100\n"
                                  "  line 4: .curve without its argument\n"
                                  "  line 5: .sta without its argument\n"
                                  "  line 6: .freeobj without its argument\n"
                                  "  line 7: a number beyond the 32-bit range: 99999999999\n");
}

TEST_F(RouteMap, GradientProfileShowsHeightsStationsAndGradients) {
    ToolRun run = RunTool(folder_, {Sample("kogane.csv"), In(L"map.bmp"), L"--profile", In(L"profile.bmp")});
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    Bmp profile;
    ASSERT_TRUE(LoadBmp(In(L"profile.bmp"), profile));
    ASSERT_EQ(profile.width, 656);
    ASSERT_EQ(profile.height, 465);
    // 25 per mille from 0 to 640 m (16 m up), -8 to 1500 m (9.12 m): the
    // plot spans 40..636 in x and 24..421 in y.
    auto x = [](double d) { return 40 + d / 1500 * (656 - 60); };
    auto y = [](double h) { return 465 - 44 - h / 16 * (465 - 68); };
    EXPECT_TRUE(profile.Near(x(0), y(0), kOrange));
    EXPECT_TRUE(profile.Near(x(320), y(8), kOrange));
    EXPECT_TRUE(profile.Near(x(640), y(16), kOrange));
    EXPECT_TRUE(profile.Near(x(1070), y(16 - 430 * 0.008), kOrange));
    EXPECT_TRUE(profile.Near(x(1500), y(9.12), kOrange));
    EXPECT_FALSE(profile.Near(x(320), y(12), kOrange));
    // Station ticks and their labels below the axis.
    EXPECT_TRUE(profile.Near(x(800), 200, kGreen));
    EXPECT_GT(profile.Count(int(x(800)) - 30, 465 - 44 + 4, int(x(800)) + 30, 465, kGreen), 10);
    // Gradient values at their changes.
    EXPECT_GT(profile.Count(int(x(0)), int(y(0)) - 20, int(x(0)) + 30, int(y(0)), kRed), 5);
    EXPECT_GT(profile.Count(int(x(640)), int(y(16)) - 20, int(x(640)) + 30, int(y(16)) + 2, kRed), 5);
}

TEST_F(RouteMap, AnUnwritableProfileLeavesNoImageEither) {
    ToolRun run = RunTool(folder_, {Sample("kogane.csv"), In(L"map.bmp"), L"--profile", L"no such folder\\p.bmp"});
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_EQ(run.err, "OrvaneRouteMap: cannot write the profile: no such folder\\p.bmp\n");
    EXPECT_FALSE(Exists(In(L"map.bmp")));
}

// ---- Hostile routes -------------------------------------------------------------------------------

TEST_F(RouteMap, HostileRoutesEndInAMapOrACleanRefusal) {
    std::mt19937 random(7);
    std::string garbage(65536, '\0');
    for (char& c : garbage) c = char(random());
    std::string longLine = "100";
    while (longLine.size() < 2 * 1024 * 1024) longLine += ",.curve 300;0,,.pitch 1,.sta \x89\xd4;";
    std::string many;
    for (int i = 0; i < 50000; ++i)
        many += std::to_string(i * 7) + (i % 3 == 0 ? ",.curve " + std::to_string(200 + i % 900) + ";0\r\n"
                                                    : i % 3 == 1 ? ",.pitch 3\r\n" : ",.sta \x89\xd4;\r\n");
    const std::pair<const char*, std::string> routes[] = {
        {"huge distances", Lines({"1e308,.curve 500;0", "-1e308,.sta A;", "99999999999,.pitch 40", "1e999,.limit 1;",
                                  "-1e999,.freeobj 0;1;1e999;0;", "4294967296,.curve -1e999;0"})},
        {"NaN and infinities", Lines({"nan,.curve nan;0", "inf,.pitch inf", "-inf,.sta inf;", "0,.curve 1e-320;0",
                                      "10,.freeobj 0;1;nan;0;", "20,.pitch -1e999"})},
        {"binary garbage", garbage},
        {"invalid Shift_JIS", Lines({"0,.sta \x81;", "100,.sta \x81\x20\x82;", "200,.curve \xff\xfe 300;0",
                                     "300,.sta \xe0", "\x81,\x81,\x81\x81"})},
        {"a 2 MB line", longLine},
        {"no distances at all", Lines({".curve 300;0", ",.pitch 10", "abc,.sta X;", ",.limit 80;"})},
        {"radius 0", Lines({"0,.curve 0;0", "100,.curve 0", "200,.curve ;", "300,.curve 0.0;0"})},
        {"empty arguments", Lines({"0,.curve", "100,.pitch", "200,.limit", "300,.sta", "400,.freeobj", "500,.curve;",
                                   "600,.sta;", "700,.freeobj;;;"})},
        {"50,000 statements", many},
        {"an empty file", ""},
    };
    for (const auto& r : routes) {
        SCOPED_TRACE(r.first);
        const std::wstring route = In(L"hostile.csv"), image = In(L"hostile.bmp");
        ASSERT_TRUE(WriteBytes(route, r.second));
        for (const std::vector<std::wstring>& options :
             {std::vector<std::wstring>{L"--freeobj"}, std::vector<std::wstring>{L"--start", L"1e9", L"--scale", L"50"}}) {
            std::vector<std::wstring> args = {route, image};
            args.insert(args.end(), options.begin(), options.end());
            ToolRun run = RunTool(folder_, args);
            ASSERT_FALSE(run.timedOut);
            EXPECT_EQ(run.exitCode, 0u) << run.err;
            EXPECT_EQ(run.out.find("Unhandled"), std::string::npos);
            Bmp map;
            EXPECT_TRUE(LoadBmp(image, map));
            EXPECT_EQ(map.width, 656);
            DeleteFileW(image.c_str());
        }
    }
}

}  // namespace
