// Cost of text layout in the text wrapper: a full wrap of a 1000-item list, a full wrap of a
// 20,000-character text in 50 paragraphs, and the incremental update after one list item changes.
// The reference is a plain greedy line breaker written here over the same glyph advances (a table
// indexed by character code, floor of each advance, break at the last space, lines kept as
// start/end/width in a reused vector, then one walk placing the lines), without markup, items or
// the framework's containers.
#include "Core/CString.h"
#include "Other/CFont.h"
#include "Other/CImage.h"
#include "Other/CImageLayer.h"
#include "UI/Controls/CTextWrapper.h"
#include "UI/Resources/CFontObject.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace tal;

constexpr double kWidth = 300.0;

// Advances between 5 and 9 pixels by character code, like a proportional font.
double advanceOf(int code) { return 5.0 + (code * 7 % 9) * 0.5; }

void fillFont(CFont& font) {
    for (int code = 1; code < 200; ++code) {
        auto* layer = new CImageLayer;
        layer->init(0, 0, 0, 0, 0, 1.0, advanceOf(code), 0, 0, 0, 1, 128, nullptr, 8);
        auto* image = new CImage;
        image->addLayer(layer);
        font.setImage(code, image);
    }
    font.setMetrics(10.0, 3.0, 0.0, 14.0);
}

// Words of 2 to 9 letters separated by single spaces, deterministic.
std::string makeText(unsigned seed, int length) {
    std::string text;
    while (int(text.size()) < length) {
        seed = seed * 1664525u + 1013904223u;
        const int word = 2 + int(seed >> 28) % 8;
        for (int i = 0; i < word; ++i)
            text += char('a' + int((seed >> (i * 3)) % 26));
        text += ' ';
    }
    text.resize(size_t(length));
    return text;
}

std::vector<std::string> listItems() {
    std::vector<std::string> items;
    for (int i = 0; i < 1000; ++i)
        items.push_back(makeText(unsigned(i), 20 + i % 30));
    return items;
}

std::vector<std::string> longText() {
    std::vector<std::string> paragraphs;
    for (int i = 0; i < 50; ++i)
        paragraphs.push_back(makeText(unsigned(7000 + i), 400));
    return paragraphs;
}

struct Fixture {
    explicit Fixture(const std::vector<std::string>& texts) {
        fillFont(font);
        for (int style = 0; style < CFontObject::kStyleCount; ++style)
            wrapper.setFont(style, &font);
        wrapper.setTextWrapped(true);
        wrapper.setTextAlignment(1);
        wrapper.setAvailableWidth(kWidth);
        for (const std::string& t : texts)
            wrapper.addParagraph(CString(t.c_str()));
        wrapper.updateLayout();
    }
    CFont font;
    CTextWrapper wrapper;
};

// The plain greedy breaker.
struct PlainLine {
    int start, end;
    double width, y;
};

struct PlainBreaker {
    PlainBreaker() {
        for (int c = 0; c < 256; ++c)
            advance[c] = std::floor(advanceOf(c));
    }
    void wrap(const std::string& text, std::vector<PlainLine>& out) const {
        double x = 0.0, xAtSpace = 0.0;
        int start = 0, lastSpace = -1;
        const int n = int(text.size());
        for (int k = 0; k < n; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[size_t(k)]);
            if (c == ' ') {
                lastSpace = k;
                xAtSpace = x;
            }
            const double x2 = x + advance[c];
            if (x2 > kWidth && lastSpace > start) {
                out.push_back(PlainLine{start, lastSpace, xAtSpace, 0.0});
                start = lastSpace + 1;
                k = lastSpace;
                lastSpace = -1;
                x = 0.0;
                continue;
            }
            x = x2;
        }
        out.push_back(PlainLine{start, n, x, 0.0});
    }
    static void place(std::vector<PlainLine>& lines) {
        double y = 0.0;
        for (PlainLine& line : lines) {
            line.y = y;
            y += 13.0;
        }
    }
    double advance[256];
};

void BM_WrapperFullWrap(benchmark::State& state, const std::vector<std::string>& texts) {
    Fixture f(texts);
    double width = kWidth;
    for (auto _ : state) {
        width = width == kWidth ? kWidth + 0.5 : kWidth;   // forces a full rewrap
        f.wrapper.setAvailableWidth(width);
        f.wrapper.updateLayout();
        benchmark::DoNotOptimize(f.wrapper.textHeight);
    }
    state.counters["lines"] = double(f.wrapper.lines().count());
}

void BM_PlainFullWrap(benchmark::State& state, const std::vector<std::string>& texts) {
    const PlainBreaker breaker;
    std::vector<PlainLine> lines;
    for (auto _ : state) {
        lines.clear();
        for (const std::string& t : texts)
            breaker.wrap(t, lines);
        PlainBreaker::place(lines);
        benchmark::DoNotOptimize(lines.data());
    }
    state.counters["lines"] = double(lines.size());
}

void BM_WrapperListWrap(benchmark::State& state) { BM_WrapperFullWrap(state, listItems()); }
void BM_PlainListWrap(benchmark::State& state) { BM_PlainFullWrap(state, listItems()); }
void BM_WrapperLongTextWrap(benchmark::State& state) { BM_WrapperFullWrap(state, longText()); }
void BM_PlainLongTextWrap(benchmark::State& state) { BM_PlainFullWrap(state, longText()); }

// One list item changes: the wrapper rewraps it and places all lines again; the reference breaks
// the one item and places all lines again.
void BM_WrapperOneParagraphUpdate(benchmark::State& state) {
    Fixture f(listItems());
    const CString texts[2] = {CString("first value of the item"), CString("second value, a little longer")};
    int flip = 0;
    for (auto _ : state) {
        f.wrapper.setParagraphText(500, texts[flip ^= 1]);
        f.wrapper.updateLayout();
        benchmark::DoNotOptimize(f.wrapper.textHeight);
    }
}

void BM_PlainOneParagraphUpdate(benchmark::State& state) {
    const PlainBreaker breaker;
    const std::vector<std::string> items = listItems();
    std::vector<std::vector<PlainLine>> perItem(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        breaker.wrap(items[i], perItem[i]);
    const std::string texts[2] = {"first value of the item", "second value, a little longer"};
    int flip = 0;
    for (auto _ : state) {
        perItem[500].clear();
        breaker.wrap(texts[flip ^= 1], perItem[500]);
        double y = 0.0;
        for (std::vector<PlainLine>& lines : perItem)
            for (PlainLine& line : lines) {
                line.y = y;
                y += 13.0;
            }
        benchmark::DoNotOptimize(y);
    }
}

BENCHMARK(BM_WrapperListWrap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainListWrap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WrapperLongTextWrap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainLongTextWrap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WrapperOneParagraphUpdate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainOneParagraphUpdate)->Unit(benchmark::kMicrosecond);

} // namespace
