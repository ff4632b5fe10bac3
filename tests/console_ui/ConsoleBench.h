#pragma once

#include <QAction>
#include <QTabWidget>
#include <QTreeView>
#include <memory>

#include "app/ui/Main.h"
#include "backup_run/BackupBench.h"
#include "framework/Services.h"

namespace quillet::test {

// A project with real archives made by real backup runs, and the console over it.
struct ConsoleBench {
    BackupBench b;
    Services services{b.fs, b.dialogs, b.settings, b.clock, b.catalog, b.sounds, b.archive, b.paths};
    std::unique_ptr<Main> window;

    // Backs up the project once more (a new archive 0001).
    void backup() {
        BackupCommandState state;
        RecordingView view;
        ASSERT_EQ(b.execute(state, view), ExecuteOutcome::Succeeded) << b.dialogs.report();
        b.clock.advanceMilliseconds(60'000);
    }
    Main& open() {
        window = std::make_unique<Main>(services);
        EXPECT_TRUE(window->openConsole()) << b.dialogs.report();
        return *window;
    }
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }
    QTreeView* list(const char* name) { return window->findChild<QTreeView*>(name); }
    template <class W>
    W* widget(const char* name) {
        return window->findChild<W*>(name);
    }
    void showTab(ConsoleTab tab) { window->findChild<QTabWidget*>("sheet")->setCurrentIndex(int(tab)); }
};

}  // namespace quillet::test
