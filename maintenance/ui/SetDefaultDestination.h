#pragma once

#include <QDialog>
#include <string>

#include "framework/RunHost.h"
#include "framework/Services.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace quillet {

class DefaultDestinationUpdate;

// "Progress...": drives the bulk destination update one project per turn of the event
// loop, with the percentage done and a Cancel that asks first and then changes nothing.
class DestinationProgressWindow : public QDialog, public RunHost {
    Q_OBJECT
public:
    DestinationProgressWindow(const Services& services, DefaultDestinationUpdate& update, QWidget* parent = nullptr);

    // One project; the window closes when the run is over. Called by the window's timer.
    void step();
    // Starts the timer (exec() does it too).
    void start();

    void setStatus(const std::string& text) override;
    void setProgress(int percent) override;
    void setItemProgress(int) override {}
    bool cancelRequested() override { return cancelRequested_; }
    void pumpEvents() override;
    void clearCancelRequest() override { cancelRequested_ = false; }

    int exec() override;
    void reject() override;  // Cancel, Esc and the close box

private:
    const Services& s_;
    DefaultDestinationUpdate& update_;
    QLabel* status_;
    QLabel* percent_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QTimer* timer_;
    bool cancelRequested_ = false;
    bool asking_ = false;
};

inline constexpr const char* DestinationCancelQuestion =
    "Stop changing the projects to the new default destination?|No project will be changed.";

// Moves every normal project whose destination is oldPath (any case) to the default
// destination now in the settings file ([Defaults] DestinationPath, else the current
// folder). A failure is reported and changes nothing. The number of projects changed.
std::size_t SetDefaultDestination(const Services& services, const std::string& oldPath, QWidget* parent = nullptr);

}  // namespace quillet
