#include "maintenance/ui/SetDefaultDestination.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "catalog/Catalog.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"
#include "maintenance/Preferences.h"
#include "platform/FileSystem.h"

namespace quillet {

namespace {

constexpr const char* kTitle = "Progress...";

QString percentText(int percent) {
    return QString::number(percent) + "% Completed";
}

}  // namespace

DestinationProgressWindow::DestinationProgressWindow(const Services& services, DefaultDestinationUpdate& update,
                                                     QWidget* parent)
    : QDialog(parent), s_(services), update_(update) {
    setObjectName("destinationProgress");
    setWindowTitle(kTitle);
    status_ = new QLabel("Processing Records", this);
    status_->setObjectName("status");
    percent_ = new QLabel(percentText(0), this);
    percent_->setObjectName("percent");
    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress");
    bar_->setAccessibleName("Progress");
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("cancelButton");
    cancel_->setAccessibleName("Cancel");
    connect(cancel_, &QPushButton::clicked, this, &DestinationProgressWindow::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addWidget(percent_);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel_);
    row->addStretch();
    layout->addLayout(row);
    setMinimumWidth(fontMetrics().averageCharWidth() * 44);

    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &DestinationProgressWindow::step);
}

void DestinationProgressWindow::start() {
    timer_->start();
}

int DestinationProgressWindow::exec() {
    start();
    return QDialog::exec();
}

void DestinationProgressWindow::step() {
    if (asking_) return;
    if (cancelRequested_) {
        cancelRequested_ = false;
        asking_ = true;
        const int answer =
            s_.dialogs.message(DestinationCancelQuestion, kTitle, Icon::Question, buttons::YesNo, answer::No);
        asking_ = false;
        if (answer == answer::Yes) {
            update_.cancel();
            timer_->stop();
            done(QDialog::Rejected);
            return;
        }
    }
    if (!update_.step(*this)) {
        timer_->stop();
        done(update_.result() && !update_.cancelled() ? QDialog::Accepted : QDialog::Rejected);
    }
}

void DestinationProgressWindow::setStatus(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

void DestinationProgressWindow::setProgress(int percent) {
    bar_->setValue(percent);
    percent_->setText(percentText(percent));
}

void DestinationProgressWindow::pumpEvents() {
    QApplication::processEvents();
}

void DestinationProgressWindow::reject() {
    // The run asks before stopping, between two projects.
    if (update_.finished()) {
        QDialog::reject();
        return;
    }
    cancelRequested_ = true;
    if (!timer_->isActive()) step();
}

std::size_t SetDefaultDestination(const Services& services, const std::string& oldPath, QWidget* parent) {
    std::string newPath = services.settings.read("Defaults", "DestinationPath");
    if (newPath.find_first_not_of(" \t") == std::string::npos) newPath = services.fs.currentFolder();
    if (Status opened = services.catalog.open(); !opened) {
        services.dialogs.message(opened.error(), "Error", Icon::Exclamation);
        return 0;
    }
    DefaultDestinationUpdate update(services.catalog, oldPath, newPath);
    {
        DestinationProgressWindow window(services, update, parent);
        window.exec();
    }
    services.catalog.close();
    if (!update.result()) {
        services.dialogs.message(update.result().error() + "|No project has been changed.", "Error", Icon::Exclamation);
        return 0;
    }
    return update.changed();
}

}  // namespace quillet
