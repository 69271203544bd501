// The progress line: two percentages and a file name, fitted to the terminal.
#include "cli/status.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace cli {

namespace {

struct Range {
    char32_t first, last;
};

// Characters a terminal draws in no column: combining marks, joiners, variation selectors.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x20D0, 0x20FF}, {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF},
};

// East Asian wide and fullwidth blocks, and the emoji blocks terminals draw wide.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x26AA, 0x26AB},
    {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x2753, 0x2755},   {0x2795, 0x2797},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2E80, 0x303E},   {0x3041, 0x33FF},
    {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F2FF}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool In(const Range (&table)[N], char32_t c) {
    return std::any_of(std::begin(table), std::end(table),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// One character of UTF-8 text: its bytes and the columns it takes. A byte that does not
// start a well-formed sequence is a character of its own, shown as one replacement.
struct Char {
    std::string_view bytes;
    int width;
    bool valid;
    char32_t code;
};

Char Next(std::string_view text, size_t at) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    size_t length = lead < 0x80                   ? 1
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                    : lead >= 0xE0 && lead < 0xF0 ? 3
                    : lead >= 0xF0 && lead < 0xF5 ? 4
                                                  : 0;
    char32_t code = length == 1   ? lead
                    : length == 2 ? lead & 0x1F
                    : length == 3 ? lead & 0x0F
                                  : lead & 0x07;
    bool valid = length != 0 && at + length <= text.size();
    for (size_t i = 1; valid && i < length; ++i) {
        valid = (byte(at + i) & 0xC0) == 0x80;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (valid && ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                  (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
        valid = false;
    if (!valid)
        return {text.substr(at, 1), 1, false, 0xFFFD};
    int width = In(kZeroWidth, code) ? 0 : In(kWide, code) ? 2 : 1;
    return {text.substr(at, length), width, true, code};
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

}  // namespace

int DisplayWidth(std::string_view text) {
    int width = 0;
    for (size_t at = 0; at < text.size();) {
        Char c = Next(text, at);
        width += c.width;
        at += c.bytes.size();
    }
    return width;
}

std::string FitTail(std::string_view text, int columns) {
    std::vector<Char> chars;
    int width = 0;
    for (size_t at = 0; at < text.size();) {
        Char c = Next(text, at);
        at += c.bytes.size();
        if (!c.valid || IsControl(c.code))
            c = {"?", 1, true, '?'};
        chars.push_back(c);
        width += c.width;
    }
    size_t first = 0;
    std::string out;
    if (width > columns) {
        if (columns < 4)
            return "";
        out = "...";
        while (width > columns - 3)
            width -= chars[first++].width;
    }
    for (size_t i = first; i < chars.size(); ++i)
        out += chars[i].bytes;
    return out;
}

std::string StatusText(unsigned totalPercent, unsigned filePercent, std::string_view name,
                       int columns) {
    unsigned total = std::min(totalPercent, 100u);
    unsigned file = std::min(filePercent, 100u);
    // Ten marks a bar: a window of ten into twenty, moved by the percentage.
    const char* marks = "##########----------";
    char full[64];
    std::snprintf(full, sizeof full, "total [%.10s] %3u%%  file [%.10s] %3u%%  ",
                  marks + 10 - total / 10, total, marks + 10 - file / 10, file);
    char brief[16];
    std::snprintf(brief, sizeof brief, "%3u%% %3u%% ", total, file);
    // The last column stays free: writing there makes some terminals wrap.
    int room = columns - 1;
    // The name should get ten columns at least, or the bars give way to the percentages.
    std::string head = static_cast<int>(std::strlen(full)) + 10 <= room ? full : brief;
    if (static_cast<int>(head.size()) > room)
        return head.substr(0, std::max(room, 0));
    std::string line = head + FitTail(name, room - static_cast<int>(head.size()));
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

}  // namespace cli
