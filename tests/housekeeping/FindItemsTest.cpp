#include <gtest/gtest.h>

#include <vector>

#include "framework/ScriptedDialogs.h"
#include "maintenance/FindItems.h"

namespace quillet::test {
namespace {

std::vector<LSPQEntry> listing(std::initializer_list<const char*> names) {
    std::vector<LSPQEntry> items;
    for (const char* n : names) {
        LSPQEntry e;
        e.FILENAME = n;
        items.push_back(e);
    }
    return items;
}

std::vector<int> marks(const std::vector<LSPQEntry>& items) {
    std::vector<int> out;
    for (const auto& e : items) out.push_back(e.MARK);
    return out;
}

struct FindCase {
    const char* what;
    FindRequest request;
    std::vector<int> marksBefore;
    std::int64_t row;
    std::vector<int> marksAfter;
    const char* message;  // "" when none
    const char* title;
};

TEST(FindItems, FindAndFindAllOverAListing) {
    //                   0             1               2           3         4           5        6
    const auto names = {"REPORT.DOC", "notes.doc.bak", "main.cpp", "main.h", "README", "util.H", "header.hpp"};
    const std::vector<int> none(7, 0), some{0, 0, 1, 0, 1, 0, 0};
    const std::vector<FindCase> cases{
        {"find from before the first row", {".doc", -1, false, true, true}, none, 0, {1, 0, 0, 0, 0, 0, 0}, "", ""},
        {"find goes on after the start row", {".DOC  ", 0, false, true, true}, none, 1, {0, 1, 0, 0, 0, 0, 0}, "", ""},
        {"no later match", {".doc", 1, false, true, true}, none, 1, none, "File Not Found", "Search Failed"},
        {"start row is the last row", {"hpp", 6, false, true, true}, none, 6, none, "File Not Found", "Search Failed"},
        {"wildcards are plain characters",
         {"*.doc", -1, true, true, true},
         none,
         -1,
         none,
         "0 Record(s) have been selected.",
         "Search Result"},
        {"find all marks every match, ends on the last",
         {".h", 2, true, true, true},
         some,
         6,
         {0, 0, 0, 1, 0, 1, 1},
         "3 Record(s) have been selected.",
         "Search Result"},
        {"without de-select earlier marks stay",
         {".h", 2, true, false, true},
         some,
         6,
         {0, 0, 1, 1, 1, 1, 1},
         "3 Record(s) have been selected.",
         "Search Result"},
        {"without the count no message", {"main", -1, true, true, false}, none, 3, {0, 0, 1, 1, 0, 0, 0}, "", ""},
        {"a blank text finds nothing but still de-selects",
         {"   ", -1, false, true, true},
         some,
         -1,
         none,
         "File Not Found",
         "Search Failed"},
        {"find keeps marks without de-select", {"readme", 0, false, false, true}, some, 4, some, "", ""},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<LSPQEntry> items = listing(names);
        for (std::size_t i = 0; i < items.size(); ++i) items[i].MARK = static_cast<std::uint8_t>(c.marksBefore[i]);
        ScriptedDialogs dialogs;
        if (*c.message) dialogs.expect(c.message);
        EXPECT_EQ(FindItems(dialogs, items, c.request), c.row);
        EXPECT_EQ(marks(items), c.marksAfter);
        EXPECT_TRUE(dialogs.ok()) << dialogs.report();
        if (*c.message) {
            EXPECT_EQ(dialogs.last().text, c.message);
            EXPECT_EQ(dialogs.last().title, c.title);
            EXPECT_EQ(dialogs.last().icon, Icon::Exclamation);
        }
    }
}

}  // namespace
}  // namespace quillet::test
