// The mask list, mask form, mask builder, theme list and theme form for the manual.
#include <QLineEdit>
#include <QTreeView>

#include "Screenshots.h"
#include "ShotServices.h"
#include "maintenance/ui/MaskWindows.h"

namespace quillet::shots {

namespace {

void sampleMasks() {
    static bool done = false;
    if (done) return;
    done = true;
    Catalog& c = shotServices().catalog;
    for (const char* m : {"*.doc", "*.docx", "*.xls", "*.pdf", "*.txt", "*.jpg", "*.png", "*.bak", "*.tmp"}) {
        Mask mask;
        mask.MASK = m;
        (void)c.masks().insert(mask);
    }
    for (auto [name, mask, exclude, recurse] :
         {std::tuple{"Office documents", "*.doc, *.docx, *.xls, *.pdf", 0, 1},
          std::tuple{"Photos", "*.jpg, *.png", 0, 1}, std::tuple{"Scratch files", "*.bak, *.tmp", 1, 1}}) {
        MaskTheme t;
        t.NAME = name;
        t.MASK = mask;
        t.EXCLUDE = static_cast<std::uint8_t>(exclude);
        t.RECURSE = static_cast<std::uint8_t>(recurse);
        (void)c.themes().insert(t);
    }
}

}  // namespace

QUILLET_SHOT("mask-list") {
    sampleMasks();
    auto w = std::make_unique<MaskListWindow>(shotServices().services);
    return w;
}

QUILLET_SHOT("mask-form") {
    sampleMasks();
    static Mask record;
    record.MASK = "*.docx";
    auto w = std::make_unique<MaskForm>(shotServices().services, FormRequest::Add, record);
    return w;
}

QUILLET_SHOT("mask-builder") {
    sampleMasks();
    auto w = std::make_unique<MaskBuilderWindow>(shotServices().services, "*.doc, *.pdf, *.txt", 500);
    return w;
}

QUILLET_SHOT("mask-themes") {
    sampleMasks();
    auto w = std::make_unique<MaskThemeListWindow>(shotServices().services, ThemeListMode::Select);
    return w;
}

QUILLET_SHOT("mask-theme-form") {
    sampleMasks();
    static MaskTheme record;
    record.NAME = "Office documents";
    record.MASK = "*.doc, *.docx, *.xls, *.pdf";
    record.RECURSE = 1;
    auto w = std::make_unique<MaskThemeForm>(shotServices().services, FormRequest::Change, record);
    return w;
}

}  // namespace quillet::shots
