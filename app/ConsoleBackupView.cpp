#include "app/ConsoleBackupView.h"

#include <cstdio>
#include <iostream>
#include <ostream>

#include "framework/Clock.h"
#include "framework/Picture.h"

namespace quillet {

std::string failedLine(const std::string& path, const std::string& reason) {
    const auto oneLine = [](std::string text) {
        for (char& c : text)
            if (c == '\t' || c == '\n' || c == '\r') c = ' ';
        return text;
    };
    return "failed\t" + oneLine(path) + "\t" + oneLine(reason) + "\n";
}

ConsoleBackupView::ConsoleBackupView(std::ostream& out, const Clock& clock, std::ostream* err)
    : out_(out), err_(err ? *err : std::cerr), clock_(clock) {}

void ConsoleBackupView::fileFailed(const std::string& path, const std::string& reason) {
    err_ << failedLine(path, reason) << std::flush;
}

void ConsoleBackupView::setStatus(const std::string& text) {
    if (text == lastStatus_) return;
    lastStatus_ = text;
    out_ << text << std::endl;
}

void ConsoleBackupView::setCaption(const std::string& caption) {
    out_ << caption << std::endl;
}

void ConsoleBackupView::setTotals(std::int64_t files, std::int64_t bytes) {
    totalFiles_ = files;
    totalBytes_ = bytes;
    out_ << "Total Files: " << formatNumber(files) << "  Total Bytes: " << formatNumber(bytes) << std::endl;
}

void ConsoleBackupView::fileChanged(std::size_t index) {
    // The index of the file in hand; everything before it has been handed over.
    if (files_) {
        while (filesHanded_ < index + 1 && filesHanded_ < files_->size())
            bytesHanded_ += (*files_)[filesHanded_++].SIZE;
    }
    maybePrintProgress();
}

void ConsoleBackupView::setProgress(int percent) {
    percent_ = percent;
    maybePrintProgress(percent == 100);
}

void ConsoleBackupView::maybePrintProgress(bool force) {
    if (totalFiles_ == 0) return;
    const std::int64_t now = clock_.milliseconds();
    if (!force && lastPrintMs_ >= 0 && now - lastPrintMs_ < 1000) return;
    if (lastPrintMs_ < 0 && !force) {
        // The first line after a second, not at once: short runs print only their end.
        lastPrintMs_ = now;
        return;
    }
    lastPrintMs_ = now;
    const std::string line = std::to_string(percent_) + "%  " + std::to_string(filesHanded_) + "/" +
                             std::to_string(totalFiles_) + " files  " + formatNumber(bytesHanded_) + "/" +
                             formatNumber(totalBytes_) + " bytes";
    if (line == lastLine_) return;
    lastLine_ = line;
    out_ << line << std::endl;
}

void ConsoleBackupView::showResults(double seconds, std::int64_t compressedBytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    out_ << "Seconds: " << text << "  Bytes (Compressed): " << formatNumber(compressedBytes) << std::endl;
}

}  // namespace quillet
