#include "app/ui/DesktopNotifier.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace quillet {

namespace {

constexpr int AnswerWaitMs = 5000;

QDBusConnection sessionConnection() {
    // Without a named bus, asking for one could launch a bus daemon: stay disconnected.
    if (!DesktopNotifier::sessionBusNamed()) return QDBusConnection(QStringLiteral("quillet-no-session-bus"));
    return QDBusConnection::sessionBus();
}

}  // namespace

DesktopNotifier::DesktopNotifier() : connection_(sessionConnection()) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection& connection) : connection_(connection) {}

bool DesktopNotifier::sessionBusNamed() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

bool DesktopNotifier::send(const DesktopNotice& notice) {
    if (!available()) {
        lastError_ = QStringLiteral("no session bus");
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(2));  // critical: stays until read
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quillet"));
    call << QStringLiteral("Quillet") << 0u << QStringLiteral("dialog-error") << QString::fromStdString(notice.summary)
         << QString::fromStdString(notice.body) << QStringList() << hints << -1;
    const QDBusMessage reply = connection_.call(call, QDBus::BlockWithGui, AnswerWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        lastError_ = reply.errorMessage();
        return false;
    }
    lastError_.clear();
    return true;
}

}  // namespace quillet
