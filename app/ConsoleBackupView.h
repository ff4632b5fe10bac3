#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "backup/BackupRun.h"

namespace quillet {

class Clock;

// "failed<TAB>path<TAB>reason": the line that names a failed file or folder. Tabs and line
// breaks inside the path or reason become blanks, so that each failure is one line.
std::string failedLine(const std::string& path, const std::string& reason);

// A backup run without a window: status texts, the caption and the end figures are
// printed as lines, and a progress line (percent, files, bytes) at most once a second.
// Messages go through the Dialogs (to the error stream in console mode), not here.
class ConsoleBackupView : public BackupRunView {
public:
    // Failed files and folders are named on err (standard error unless given).
    ConsoleBackupView(std::ostream& out, const Clock& clock, std::ostream* err = nullptr);

    void setStatus(const std::string& text) override;
    void setProgress(int percent) override;
    void setItemProgress(int) override { maybePrintProgress(); }
    bool cancelRequested() override { return false; }
    void pumpEvents() override { maybePrintProgress(); }
    void setCaption(const std::string& caption) override;
    void showFiles(const BackupFileList& files) override { files_ = &files; }
    void fileChanged(std::size_t index) override;
    void fileFailed(const std::string& path, const std::string& reason) override;
    void setTotals(std::int64_t files, std::int64_t bytes) override;
    void showResults(double seconds, std::int64_t compressedBytes) override;

private:
    void maybePrintProgress(bool force = false);

    std::ostream& out_;
    std::ostream& err_;
    const Clock& clock_;
    const BackupFileList* files_ = nullptr;
    std::int64_t totalFiles_ = 0, totalBytes_ = 0;
    std::size_t filesHanded_ = 0;
    std::int64_t bytesHanded_ = 0;
    int percent_ = 0;
    std::int64_t lastPrintMs_ = -1;
    std::string lastStatus_;
    std::string lastLine_;
};

}  // namespace quillet
