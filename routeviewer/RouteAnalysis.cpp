#include "routeviewer/RouteAnalysis.h"

#include "routeviewer/RouteText.h"

namespace route {

namespace {

constexpr int32_t kShiftJisBase = 0x0A01;
constexpr int32_t kUnicodeBase = 0x0100;
constexpr int32_t kUtf8Format = 2;

}  // namespace

Object ShiftJisToUtf8() {
    Object from = Object::Adopt(getTextEncoding(kShiftJisBase, 0, 0));
    Object to = Object::Adopt(getTextEncoding(kUnicodeBase, 0, kUtf8Format));
    return Object::Adopt(getTextConverter(from.Get(), to.Get()));
}

void RouteNormaliser::AddStatement(StringValue* field) {
    out_.Append(distance_.Get());
    out_.Append(CommaText());
    out_.Append(field);
    out_.Append(EndOfLineText());
}

void RouteNormaliser::AddLine(StringValue* raw) {
    Text line = Text::Borrow(raw);
    const int32_t comma = FindByte(line, ',', 1);
    Text first = Text::Adopt(comma ? StringMid3(line.Get(), 1, comma - 1) : StringMid2(line.Get(), 1));
    // "0", "00" and "0.0" are distances too.
    if (StringVal(first.Get()) != 0 || StringInStrB(1, first.Get(), ZeroText()) != 0) {
        distance_ = first;
    } else {
        Text trimmed = Text::Adopt(runLTrim(line.Get()));
        line = Join(distance_.Get(), trimmed.Get());
    }
    // Every field behind the first, each taken once by its position.
    int32_t start = FindByte(line, ',', 1);
    while (start) {
        const int32_t next = FindByte(line, ',', start + 1);
        const int32_t end = next ? next : line.Length() + 1;
        if (end > start + 1) {
            Text field = Text::Adopt(StringMid3(line.Get(), start + 1, end - start - 1));
            AddStatement(field.Get());
        }
        RuntimeBackgroundTask();
        start = next;
    }
}

AnalysisOutcome AnalyzeRouteFile(ObjectHeader* file, Text* result, const LineObserver& observer) {
    Object converter = ShiftJisToUtf8();
    if (!file) return AnalysisOutcome::kNoFile;
    Object stream = Object::Adopt(FolderItemOpenTextFile(file));
    if (!stream) return AnalysisOutcome::kNotOpened;
    RouteNormaliser normaliser;
    int32_t number = 0;
    do {
        Text raw = Text::Adopt(TextInputStreamReadLine(stream.Get(), nullptr));
        Text line = Text::Adopt(textConverterConvert(converter.Get(), raw.Get()));
        normaliser.AddLine(line.Get());
        if (observer.see) observer.see(observer.context, line.Get(), ++number);
        RuntimeBackgroundTask();
    } while (!TextInputStreamEOF(stream.Get(), 0));
    TextInputStreamClose(stream.Get());
    *result = normaliser.Finish();
    return AnalysisOutcome::kDone;
}

}  // namespace route
