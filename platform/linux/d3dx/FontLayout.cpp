#include "platform/linux/d3dx/FontLayout.h"

#include <algorithm>

namespace {

struct Line {
    size_t begin;
    size_t end; // past the last character, trailing blanks excluded
    long width; // 26.6
};

bool IsBlank(char32_t c) {
    return c == U' ' || c == U'\t';
}
bool IsBreak(char32_t c) {
    return c == U'\r' || c == U'\n';
}

long Measure(const std::u32string& text, size_t begin, size_t end, const LayoutMetrics& m) {
    long width = 0;
    char32_t prev = 0;
    for (size_t i = begin; i < end; ++i) {
        if (IsBreak(text[i]))
            continue;
        width += m.advance(prev, text[i]);
        prev = text[i];
    }
    return width;
}

void AddLine(std::vector<Line>& lines, const std::u32string& text, size_t begin, size_t end,
             const LayoutMetrics& m) {
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    lines.push_back({begin, end, Measure(text, begin, end, m)});
}

// Splits one paragraph (no line breaks inside) at blanks so that each line fits maxWidth.
void WrapParagraph(std::vector<Line>& lines, const std::u32string& text, size_t begin, size_t end,
                   long maxWidth, const LayoutMetrics& m) {
    size_t lineBegin = begin;
    while (true) {
        // Each pass takes as many whole words as fit; at least one word.
        size_t lineEnd = lineBegin;
        size_t pos = lineBegin;
        while (pos < end) {
            size_t wordEnd = pos;
            while (wordEnd < end && IsBlank(text[wordEnd]))
                ++wordEnd;
            while (wordEnd < end && !IsBlank(text[wordEnd]))
                ++wordEnd;
            if (lineEnd > lineBegin && Measure(text, lineBegin, wordEnd, m) > maxWidth)
                break;
            lineEnd = pos = wordEnd;
        }
        AddLine(lines, text, lineBegin, lineEnd, m);
        lineBegin = lineEnd;
        while (lineBegin < end && IsBlank(text[lineBegin]))
            ++lineBegin;
        if (lineBegin >= end)
            return;
    }
}

} // namespace

TextLayout LayOutText(const std::u32string& text, const RECT& rect, DWORD format,
                      const LayoutMetrics& metrics) {
    std::vector<Line> lines;
    long maxWidth = static_cast<long>(rect.right - rect.left) * 64;
    if (format & DT_SINGLELINE) {
        AddLine(lines, text, 0, text.size(), metrics);
    } else {
        size_t begin = 0;
        while (true) {
            size_t end = begin;
            while (end < text.size() && !IsBreak(text[end]))
                ++end;
            if (format & DT_WORDBREAK)
                WrapParagraph(lines, text, begin, end, maxWidth, metrics);
            else
                AddLine(lines, text, begin, end, metrics);
            if (end >= text.size())
                break;
            begin = end + (text[end] == U'\r' && end + 1 < text.size() && text[end + 1] == U'\n' ? 2 : 1);
        }
    }

    TextLayout layout;
    layout.lineCount = static_cast<int>(lines.size());
    layout.height = layout.lineCount * metrics.lineHeight;
    int top = rect.top;
    if (format & DT_BOTTOM)
        top = rect.bottom - layout.height;
    else if (format & DT_VCENTER)
        top = rect.top + (rect.bottom - rect.top - layout.height) / 2;
    layout.bounds = {rect.right, top, rect.left, top + layout.height};
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        int width = static_cast<int>((line.width + 32) / 64);
        int left = rect.left;
        if (format & DT_RIGHT)
            left = rect.right - width;
        else if (format & DT_CENTER)
            left = rect.left + (rect.right - rect.left - width) / 2;
        layout.bounds.left = std::min<LONG>(layout.bounds.left, left);
        layout.bounds.right = std::max<LONG>(layout.bounds.right, left + width);
        int baseline = top + static_cast<int>(i) * metrics.lineHeight + metrics.ascent;
        long pen = 0;
        char32_t prev = 0;
        for (size_t k = line.begin; k < line.end; ++k) {
            char32_t c = text[k];
            if (IsBreak(c))
                continue;
            long advance = metrics.advance(prev, c);
            // The kerning belongs before the glyph: the advance of prev already moved the pen.
            long kern = advance - metrics.advance(0, c);
            pen += kern;
            layout.chars.push_back({c, left + static_cast<int>((pen + 32) >> 6), baseline});
            pen += advance - kern;
            prev = c;
        }
    }
    if (lines.empty())
        layout.bounds = {rect.left, top, rect.left, top};
    return layout;
}
