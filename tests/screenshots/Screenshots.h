#pragma once

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace quillet::shots {

// One picture for the manual: make() builds the window in the state the manual shows
// (filled with sample data under a temporary QUILLET_HOME), without running its loop.
struct Shot {
    std::string name;  // docs/images/<name>.png and <name>@2x.png
    std::function<std::unique_ptr<QWidget>()> make;
};

// Registers a shot at start-up; use through QUILLET_SHOT.
bool registerShot(Shot shot);

// A folder that lives as long as the program, for the sample files a shot needs.
const std::string& sampleFolder();

}  // namespace quillet::shots

#define QUILLET_SHOT_CONCAT2(a, b) a##b
#define QUILLET_SHOT_CONCAT(a, b) QUILLET_SHOT_CONCAT2(a, b)
// QUILLET_SHOT("preview-window") { auto w = std::make_unique<...>(); ...; return w; }
#define QUILLET_SHOT(name)                                                                 \
    static std::unique_ptr<QWidget> QUILLET_SHOT_CONCAT(makeShot_, __LINE__)();            \
    static const bool QUILLET_SHOT_CONCAT(shotRegistered_, __LINE__) =                     \
        ::quillet::shots::registerShot({name, &QUILLET_SHOT_CONCAT(makeShot_, __LINE__)}); \
    static std::unique_ptr<QWidget> QUILLET_SHOT_CONCAT(makeShot_, __LINE__)()
