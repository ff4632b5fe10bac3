#include "app/ui/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSessionManager>
#include <QWidget>
#include <algorithm>

#include "framework/Clock.h"
#include "framework/Dialogs.h"
#include "framework/Settings.h"

namespace quillet {

TrayMenu::TrayMenu(Dialogs& dialogs, const RunActivity& runs, QWidget* parent)
    : QMenu(parent), dialogs_(dialogs), runs_(runs) {
    setObjectName("trayMenu");
    setAccessibleName("Quillet");
    connect(this, &QMenu::aboutToHide, this, &TrayMenu::onAboutToHide);
}

void TrayMenu::setItems(const std::vector<TrayMenuItem>& items) {
    clear();
    items_ = items;
    actions_.assign(traychoice::Exit, nullptr);
    for (const TrayMenuItem& item : items_) {
        if (item.separator()) {
            addSeparator();
            continue;
        }
        QAction* action = addAction(QString::fromStdString(item.text));
        action->setObjectName(QStringLiteral("trayChoice%1").arg(item.choice));
        action->setEnabled(item.enabled);
        const int choice = item.choice;
        connect(action, &QAction::triggered, this, [this, choice] {
            picked_ = choice;
            // Triggered without the menu on screen (keyboard, accessibility, tests): no
            // close follows, so the choice is handled from here.
            if (!isVisible()) onAboutToHide();
        });
        if (choice >= 1 && choice <= traychoice::Exit) actions_[static_cast<std::size_t>(choice - 1)] = action;
    }
}

QAction* TrayMenu::actionFor(int choice) const {
    if (choice < 1 || choice > static_cast<int>(actions_.size())) return nullptr;
    return actions_[static_cast<std::size_t>(choice - 1)];
}

void TrayMenu::onAboutToHide() {
    // The choice is triggered after the menu hides: handle both once the close is over.
    if (finishing_) return;
    finishing_ = true;
    QMetaObject::invokeMethod(this, &TrayMenu::finish, Qt::QueuedConnection);
}

void TrayMenu::finish() {
    finishing_ = false;
    const int choice = picked_;
    picked_ = 0;
    choose(choice);
}

void TrayMenu::choose(int choice) {
    const auto item = std::find_if(items_.begin(), items_.end(),
                                   [choice](const TrayMenuItem& i) { return !i.separator() && i.choice == choice; });
    if (choice == 0 || item == items_.end() || !item->enabled) {
        emit dismissed();
    } else if ((choice <= traychoice::LastProject || choice == traychoice::Exit) && runs_.active()) {
        // Runs are modal: a second one inside the first, or an exit under it, is refused.
        dialogs_.message(RunningText, "Quillet Message", Icon::Exclamation, buttons::Ok, 1);
    } else if (choice <= traychoice::LastProject) {
        emit projectChosen(item->sysId);
    } else if (choice == traychoice::OpenConsole) {
        emit openConsoleChosen();
    } else if (choice == traychoice::ToggleTimer) {
        emit timerToggleChosen();
    } else {
        emit exitChosen();
    }
    emit closed();
}

TrayIcon::TrayIcon(TrayContext context, QObject* parent)
    : QObject(parent), c_(std::move(context)), reminder_(c_.clock, c_.fs, c_.sounds) {
    icon_.setObjectName("trayIcon");
    menu_ = std::make_unique<TrayMenu>(c_.dialogs, c_.runs);
    icon_.setContextMenu(menu_.get());
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        rebuildMenu();
        reminder_.setMenuOpen(true);
    });
    connect(menu_.get(), &TrayMenu::projectChosen, this, [this](int sysId) {
        const auto name = c_.projectName(sysId);
        if (name) emit backupRequested(sysId, QString::fromStdString(*name));
    });
    connect(menu_.get(), &TrayMenu::openConsoleChosen, this, &TrayIcon::openConsole);
    connect(menu_.get(), &TrayMenu::timerToggleChosen, this, [this] {
        if (!reminder_.toggleSuspended(c_.settings))
            c_.dialogs.message(c_.settings.lastError(), "Quillet Message", Icon::Exclamation, buttons::Ok, 1);
        rebuildMenu();
    });
    connect(menu_.get(), &TrayMenu::exitChosen, this, [this] {
        openConsole();
        emit exitRequested();
    });
    connect(menu_.get(), &TrayMenu::dismissed, this, [this] { reminder_.restartClock(); });
    connect(menu_.get(), &TrayMenu::closed, this, [this] { reminder_.setMenuOpen(false); });
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);

    timer_.setObjectName("reminderTimer");
    connect(&timer_, &QTimer::timeout, this, &TrayIcon::onTick);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, &TrayIcon::onCommitData);

    readSettings();
}

TrayIcon::~TrayIcon() {
    icon_.hide();
    icon_.setContextMenu(nullptr);  // the menu goes first
    if (console_) console_->removeEventFilter(this);
}

void TrayIcon::attachTo(QWidget* console) {
    if (console_) console_->removeEventFilter(this);
    console_ = console;
    if (console_) console_->installEventFilter(this);
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == console_) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            console_->showMinimized();
            return true;
        }
        // Hiding a window inside its own state change is unreliable: do it right after.
        if (event->type() == QEvent::WindowStateChange && console_->isMinimized() && !present_)
            QMetaObject::invokeMethod(this, &TrayIcon::toNotificationArea, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

bool TrayIcon::toNotificationArea() {
    if (present_) return true;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    refreshStatus();
    icon_.show();
    if (!icon_.isVisible()) return false;
    if (console_) console_->hide();
    present_ = true;
    return true;
}

void TrayIcon::openConsole() {
    if (console_) {
        console_->show();
        console_->setWindowState((console_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        console_->raise();
        console_->activateWindow();
    }
    icon_.hide();
    present_ = false;
    emit consoleRestored();
}

void TrayIcon::startMinimized() {
    if (console_) console_->showMinimized();
    toNotificationArea();
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) openConsole();
}

void TrayIcon::rebuildMenu() {
    const ReminderSettings& s = reminder_.settings();
    menu_->setItems(trayMenuItems(c_.lastBacked, c_.projectName, s.interval, s.suspended));
}

void TrayIcon::showMenu() {
    if (menu_->isVisible() || reminder_.menuOpen()) return;
    rebuildMenu();
    reminder_.setMenuOpen(true);
    menu_->popup(QCursor::pos());
}

void TrayIcon::readSettings() {
    reminder_.readSettings(c_.settings);
    if (reminder_.settings().interval != 0) timer_.start(reminder_.timerIntervalMs());
    rebuildMenu();
    refreshStatus();
}

void TrayIcon::onTick() {
    const ReminderTick result = reminder_.tick(c_.changeWatch);
    if (timer_.interval() != reminder_.timerIntervalMs()) timer_.setInterval(reminder_.timerIntervalMs());
    if (reminder_.takePopupRequest()) showMenu();
    // Overdue is a matter of time: the tip follows it on the ordinary ticks.
    if (result != ReminderTick::Checking) refreshStatus();
}

void TrayIcon::refreshStatus() {
    std::vector<std::pair<std::string, std::optional<ProjectRunStatus>>> recent;
    const RunStatusStore store(c_.statusFolder);
    for (const std::int32_t sysId : c_.lastBacked.entries) {
        if (sysId == 0) continue;
        const auto name = c_.projectName(sysId);
        if (!name) continue;
        recent.emplace_back(*name, c_.statusFolder.empty() ? std::nullopt : store.read(sysId));
    }
    const std::uint8_t interval = c_.statusFolder.empty() ? 0 : reminder_.settings().interval;
    TrayStatus next = trayStatus(recent, interval, c_.clock.now());
    if (next.health != status_.health || icon_.icon().isNull()) icon_.setIcon(iconFor(next.health));
    if (next.tooltip != status_.tooltip || icon_.toolTip().isEmpty())
        icon_.setToolTip(QString::fromStdString(next.tooltip));
    status_ = std::move(next);
}

void TrayIcon::endSession() {
    emit sessionEnding();
}

void TrayIcon::onCommitData(QSessionManager& manager) {
    // Not cancelling the manager lets the session end.
    Q_UNUSED(manager);
    endSession();
}

QIcon TrayIcon::iconFor(BackupHealth health) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        // The program's mark: a blue disc with a white Q.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2d, 0x6c, 0xb5));
        p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPixelSize(std::max(6, static_cast<int>(s * 0.62)));
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, s, s * 0.96), Qt::AlignCenter, QStringLiteral("Q"));
        if (health == BackupHealth::Overdue || health == BackupHealth::Failed) {
            const QRectF badge(s * 0.46, s * 0.46, s * 0.54, s * 0.54);
            p.setPen(QPen(Qt::white, std::max(1.0, s / 24)));
            p.setBrush(health == BackupHealth::Failed ? QColor(0xc6, 0x28, 0x28) : QColor(0xf0, 0x9a, 0x00));
            p.drawEllipse(badge);
            p.setPen(QPen(Qt::white, std::max(1.5, s / 11), Qt::SolidLine, Qt::RoundCap));
            const QPointF m = badge.center();
            const qreal r = badge.width() * 0.22;
            if (health == BackupHealth::Failed) {
                // A cross: the last run failed.
                p.drawLine(m + QPointF(-r, -r), m + QPointF(r, r));
                p.drawLine(m + QPointF(-r, r), m + QPointF(r, -r));
            } else {
                // Clock hands: a backup is due.
                p.drawLine(m, m + QPointF(0, -r * 1.3));
                p.drawLine(m, m + QPointF(r, 0));
            }
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace quillet
