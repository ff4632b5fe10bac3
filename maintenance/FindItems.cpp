#include "maintenance/FindItems.h"

#include <algorithm>

#include "framework/Dialogs.h"
#include "platform/Utf8Text.h"

namespace quillet {

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

ItemNameSearch::ItemNameSearch(std::string_view text) : needle_(upperCased(trimRight(text))) {}

bool ItemNameSearch::matches(std::string_view fileName) const {
    if (needle_.empty() || fileName.size() < needle_.size()) return false;
    // Compared in place: a search runs over every row of a long listing.
    return std::search(fileName.begin(), fileName.end(), needle_.begin(), needle_.end(),
                       [](char a, char b) { return upper(a) == b; }) != fileName.end();
}

std::int64_t FindItems(Dialogs& dialogs, std::vector<LSPQEntry>& items, const FindRequest& request) {
    if (request.deselect)
        for (LSPQEntry& e : items) e.MARK = 0;
    const ItemNameSearch search(request.text);
    const auto notFound = [&] {
        dialogs.message(find_text::NotFound, find_text::NotFoundTitle, Icon::Exclamation);
        return request.startRow;
    };
    if (search.blank()) return notFound();

    const auto size = static_cast<std::int64_t>(items.size());
    if (!request.all) {
        for (std::int64_t row = std::max<std::int64_t>(request.startRow + 1, 0); row < size; ++row) {
            LSPQEntry& e = items[static_cast<std::size_t>(row)];
            if (!search.matches(e.FILENAME)) continue;
            e.MARK = 1;
            return row;
        }
        return notFound();
    }

    std::int64_t count = 0;
    std::int64_t current = request.startRow;
    for (std::int64_t row = 0; row < size; ++row) {
        LSPQEntry& e = items[static_cast<std::size_t>(row)];
        if (!search.matches(e.FILENAME)) continue;
        e.MARK = 1;
        ++count;
        current = row;
    }
    if (request.showCount)
        dialogs.message(std::to_string(count) + find_text::CountSuffix, find_text::CountTitle, Icon::Exclamation);
    return current;
}

}  // namespace quillet
