#include "backup/SplitMaskList.h"

namespace quillet {

namespace {

bool isBlank(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

std::string_view withoutTrailingBlanks(std::string_view s) {
    const auto end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

// The first width characters (UTF-8 aware, so a character is never split), with the
// blanks a fixed-width field would pad it with removed.
std::string maskField(std::string_view piece, std::size_t width) {
    const auto start = piece.find_first_not_of(' ');
    piece = start == std::string_view::npos ? std::string_view() : piece.substr(start);
    std::size_t chars = 0, i = 0;
    while (i < piece.size() && chars < width) {
        ++i;
        while (i < piece.size() && (static_cast<unsigned char>(piece[i]) & 0xC0) == 0x80) ++i;
        ++chars;
    }
    return std::string(withoutTrailingBlanks(piece.substr(0, i)));
}

}  // namespace

void SplitMaskList(std::string_view maskText, MaskList& masks, std::size_t maskWidth) {
    // Stage one: line by line; blank lines go, every kept line ends with one comma.
    std::string working;
    std::size_t pos = 0;
    while (pos <= maskText.size()) {
        std::size_t end = maskText.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = maskText.size();
        const std::string_view line = maskText.substr(pos, end - pos);
        if (!isBlank(line)) {
            const std::string_view kept = withoutTrailingBlanks(line);
            working.append(kept);
            if (kept.back() != ',') working.push_back(',');
        }
        if (end == maskText.size()) break;
        // "\r\n" is one line break; a lone '\r' or '\n' is one as well.
        pos = end + ((maskText[end] == '\r' && end + 1 < maskText.size() && maskText[end + 1] == '\n') ? 2 : 1);
    }

    // Stage two: a piece runs from the last comma, CR, LF or tab before a comma up to it.
    masks.clear();
    std::size_t pieceStart = 0;
    for (std::size_t i = 0; i < working.size(); ++i) {
        const char c = working[i];
        if (c == ',') {
            masks.push_back(maskField(std::string_view(working).substr(pieceStart, i - pieceStart), maskWidth));
            pieceStart = i + 1;
        } else if (c == '\r' || c == '\n' || c == '\t') {
            pieceStart = i + 1;
        }
    }
    const std::string_view rest = std::string_view(working).substr(pieceStart);
    if (!isBlank(rest)) masks.push_back(maskField(rest, maskWidth));
}

}  // namespace quillet
