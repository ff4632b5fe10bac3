#pragma once

#include <QDBusConnection>

#include "app/RunStatus.h"

namespace quillet {

// Desktop notifications (the freedesktop notification service) over the session bus. Without
// a session bus nothing is sent and nothing is started to provide one.
class DesktopNotifier {
public:
    // The user's session bus, when there is one.
    DesktopNotifier();
    // A given connection (tests use a private bus).
    explicit DesktopNotifier(const QDBusConnection& connection);

    bool available() const { return connection_.isConnected(); }
    // True when the notification service accepted it. Waits at most a few seconds for the
    // answer, letting events through meanwhile; call it once a run is over.
    bool send(const DesktopNotice& notice);
    bool notifyFailure(const ProjectRunStatus& status) { return send(failureNotice(status)); }
    const QString& lastError() const { return lastError_; }

    // Whether the environment names a session bus: DBUS_SESSION_BUS_ADDRESS, or the
    // per-user bus socket in XDG_RUNTIME_DIR.
    static bool sessionBusNamed();

private:
    QDBusConnection connection_;
    QString lastError_;
};

}  // namespace quillet
