// UTF-8, UTF-16 and code page 932.
#include "platform/text.h"

#include <cstdint>
#include <cstring>

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the run of ASCII bytes at the start of [p, end), eight bytes at a time: file
// names and log lines are mostly ASCII.
size_t AsciiPrefix(const unsigned char* p, const unsigned char* end) {
    const unsigned char* start = p;
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull) {
            break;
        }
        p += 8;
    }
    while (p < end && *p < 0x80) {
        ++p;
    }
    return static_cast<size_t>(p - start);
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& cp) {
    const unsigned char lead = p[0];
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    size_t length;
    unsigned char low = 0x80;  // the range allowed for the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;  // below is an overlong form
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;  // below is an overlong form
        } else if (lead == 0xF4) {
            high = 0x8F;  // above is past U+10FFFF
        }
    } else {
        cp = kReplacement;
        return 1;
    }
    if (static_cast<size_t>(end - p) < length || p[1] < low || p[1] > high) {
        cp = kReplacement;
        return 1;
    }
    for (size_t i = 1; i < length; ++i) {
        if (!IsContinuation(p[i])) {
            cp = kReplacement;
            return 1;
        }
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    return length;
}

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

#include "platform/cp932_table.inc"

// 0 when code page 932 has no code for cp (U+0080 and up).
uint16_t Cp932Code(char32_t cp) {
    if (cp >= 0x10000) {
        return 0;
    }
    return kCp932Blocks[kCp932BlockIndex[cp >> kCp932BlockBits]]
                       [cp & ((1u << kCp932BlockBits) - 1)];
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const size_t ascii = AsciiPrefix(p, end);
        out.append(p, p + ascii);
        p += ascii;
        if (p == end) {
            break;
        }
        char32_t cp;
        p += DecodeUtf8(p, end, cp);
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            // A high and a low surrogate given as two three-byte forms land next to each
            // other here and so become the pair they describe.
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        size_t ascii_end = i;
        while (ascii_end < size && text[ascii_end] < 0x80) {
            ++ascii_end;
        }
        const size_t old_size = out.size();
        out.resize(old_size + (ascii_end - i));
        for (char* dest = out.data() + old_size; i < ascii_end; ++i) {
            *dest++ = static_cast<char>(text[i]);
        }
        if (i == size) {
            break;
        }
        const char32_t unit = text[i];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < size &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            i += 2;
        } else {
            AppendUtf8(out, unit);  // a lone surrogate keeps its three-byte form
            ++i;
        }
    }
    return out;
}

std::string Utf8ToCp932(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const size_t ascii = AsciiPrefix(p, end);
        out.append(reinterpret_cast<const char*>(p), ascii);
        p += ascii;
        if (p == end) {
            break;
        }
        char32_t cp;
        p += DecodeUtf8(p, end, cp);
        if (cp >= 0xD800 && cp <= 0xDBFF && p < end) {
            // A pair given as two three-byte forms is one character, so one '?'.
            char32_t next;
            const size_t length = DecodeUtf8(p, end, next);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                p += length;
            }
        }
        const uint16_t code = Cp932Code(cp);
        if (code == 0) {
            out.push_back('?');
        } else if (code < 0x100) {
            out.push_back(static_cast<char>(code));
        } else {
            out.push_back(static_cast<char>(code >> 8));
            out.push_back(static_cast<char>(code & 0xFF));
        }
    }
    return out;
}

}  // namespace platform
