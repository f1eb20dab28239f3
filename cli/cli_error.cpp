// cli_error.cpp - messages made one printable line.
#include "cli_error.h"

#include <cstdio>

namespace koru_cli {

std::string OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\0': out += "\\0"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char code[8];
                    std::snprintf(code, sizeof code, "\\x%02X", byte);
                    out += code;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

namespace {

// OneLine for text from a file: its backslashes doubled as well, so the
// escapes OneLine writes cannot be mistaken for the cell's own text.
std::string CellText(const std::string& text) {
    std::string doubled;
    for (char c : text) {
        doubled += c;
        if (c == '\\') doubled += c;
    }
    return OneLine(doubled);
}

}  // namespace

std::string QuotedCell(const std::string& text) {
    constexpr size_t kLongest = 60;
    std::string out(1, '\'');
    if (text.size() <= kLongest) {
        out += CellText(text);
        out += '\'';
        return out;
    }
    // Cut on a character boundary: never inside a UTF-8 sequence.
    size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    out += CellText(text.substr(0, cut));
    out += "...'";
    return out;
}

}  // namespace koru_cli
