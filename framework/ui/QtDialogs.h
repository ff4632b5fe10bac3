#pragma once

#include <QPointer>
#include <QWidget>

#include "framework/Dialogs.h"

namespace quillet {

// The Dialogs seam on Qt: message boxes, beeps, the wait cursor and the standard folder
// and file dialogs. The message box has the objectName "quilletMessageBox" and its buttons
// "messageButton1", "messageButton2", ... in the order of their labels.
class QtDialogs : public Dialogs {
public:
    // parent: the window the dialogs belong to; without one, the active window.
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtDialogs() override;

    void setParentWidget(QWidget* parent) { parent_ = parent; }

    using Dialogs::message;
    int message(const MessageRequest& request) override;
    void beep() override;
    void setWaitCursor(bool on) override;
    // The chosen folder without a trailing "/".
    std::optional<std::string> pickFolder(const std::string& title, const std::string& startFolder) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& startFolder,
                                        const std::string& filter) override;
    std::optional<std::string> saveFile(const std::string& title, const std::string& startFolder,
                                        const std::string& filter) override;

private:
    QWidget* dialogParent() const;

    QPointer<QWidget> parent_;
    int waitDepth_ = 0;
};

// A filter given as bar-separated entries, "Archives (*.lsp)|All files (*.*)", in the
// form Qt's file dialogs take, "Archives (*.lsp);;All files (*)". Entries may also come
// as description and pattern pairs ("Archives|*.lsp;*.zip"). "*.*" means every file.
QString qtFileFilter(const std::string& filter);

}  // namespace quillet
