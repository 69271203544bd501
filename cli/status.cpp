// The progress line: two percentages and a file name, fitted to the terminal.
#include "cli/status.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <vector>

#include "platform/text.h"

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

// One character of UTF-8 text: its bytes and the columns it takes. Whatever is not a
// character (a stray byte, a surrogate) takes one column.
struct Char {
    std::string_view bytes;
    int width;
    bool printable;  // neither broken nor a control character
};

Char Next(std::string_view text, size_t at) {
    auto* p = reinterpret_cast<const unsigned char*>(text.data());
    char32_t code = 0;
    size_t length = platform::DecodeUtf8(p + at, p + text.size(), code);
    bool broken = (code == 0xFFFD && length == 1) || (code >= 0xD800 && code <= 0xDFFF);
    bool control = code < 0x20 || (code >= 0x7F && code < 0xA0);
    int width = broken ? 1 : In(kZeroWidth, code) ? 0 : In(kWide, code) ? 2 : 1;
    return {text.substr(at, length), width, !broken && !control};
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
        if (!c.printable)
            c = {"?", 1, true};
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

namespace {

std::string Hex(unsigned value, int digits) {
    std::string out;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += "0123456789abcdef"[(value >> shift) & 0xF];
    return out;
}

// The control character at name[i]: 0 to 0x1F and 0x7F as one byte, and U+0080 to U+009F
// (C1, which some terminals obey too) as two. 0 when there is none.
size_t ControlAt(std::string_view name, size_t i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F)
        return 1;
    bool c1 = c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) >= 0x80 &&
              static_cast<unsigned char>(name[i + 1]) < 0xA0;
    return c1 ? 2 : 0;
}

std::string Percent(unsigned percent) {
    std::string digits = std::to_string(percent);
    std::string text(3 - digits.size(), ' ');
    text.append(digits);
    text += '%';
    return text;
}

// Ten marks: one for every full ten percent.
std::string Bar(unsigned percent) {
    std::string bar(1, '[');
    bar.append(percent / 10, '#');
    bar.append(10 - percent / 10, '-');
    bar += ']';
    return bar;
}

}  // namespace

std::string StatusText(unsigned totalPercent, unsigned filePercent, std::string_view name,
                       int columns) {
    unsigned total = std::min(totalPercent, 100u);
    unsigned file = std::min(filePercent, 100u);
    std::string full = "total " + Bar(total) + " " + Percent(total) + "  file " + Bar(file) + " " +
                       Percent(file) + "  ";
    std::string brief = Percent(total) + " " + Percent(file) + " ";
    // The last column stays free: writing there makes some terminals wrap.
    int room = columns - 1;
    // The name should get ten columns at least, or the bars give way to the percentages.
    std::string head = static_cast<int>(full.size()) + 10 <= room ? full : brief;
    if (static_cast<int>(head.size()) > room)
        return head.substr(0, std::max(room, 0));
    std::string line = head + FitTail(name, room - static_cast<int>(head.size()));
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

std::string Escaped(std::string_view name) {
    bool any = false;
    for (size_t i = 0; i < name.size() && !any; ++i)
        any = ControlAt(name, i) != 0;
    if (!any)
        return std::string(name);
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        size_t control = ControlAt(name, i);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (control == 1)
            out += "\\x" + Hex(c, 2);
        else if (control == 2)
            out += "\\u" + Hex(static_cast<unsigned char>(name[++i]), 4);
        else
            out += name[i];
    }
    return out;
}

void ProgressLine::Update(unsigned totalPercent, unsigned filePercent, const std::string& name) {
    auto now = std::chrono::steady_clock::now();
    if (m_everDrawn && now - m_lastDrawn < std::chrono::milliseconds(100))
        return;
    m_everDrawn = true;
    m_lastDrawn = now;
    std::string text = StatusText(totalPercent, filePercent, name, m_columns);
    int width = DisplayWidth(text);
    // Blanks over whatever of the previous line the new one does not cover.
    m_err << '\r' << text << std::string(std::max(m_shownWidth - width, 0), ' ') << std::flush;
    m_shownWidth = width;
    m_shown = true;
}

void ProgressLine::Erase() {
    if (!m_shown)
        return;
    m_err << '\r' << std::string(m_shownWidth, ' ') << '\r' << std::flush;
    m_shown = false;
    m_shownWidth = 0;
}

}  // namespace cli
