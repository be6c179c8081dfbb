#include "AccessibleTree.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace tw::test {

namespace {

const QString RegistryService = u"org.a11y.atspi.Registry"_s;
const QString Root = u"/org/a11y/atspi/accessible/root"_s;
const QString AccessibleInterface = u"org.a11y.atspi.Accessible"_s;
constexpr int callTimeoutMs = 5000;
// Deep enough for a button in a header in a frame in a window; bounded against a cyclic tree.
constexpr int maxDepth = 12;

} // namespace

AccessibleTree::AccessibleTree(const QString& busAddress)
    : m_connectionName(u"a11y-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_bus(QDBusConnection::connectToBus(busAddress, m_connectionName))
{
    if (!m_bus.isConnected() ||
        !m_bus.connect(QString(), QString(), u"org.a11y.atspi.Event.Object"_s, u"StateChanged"_s, this,
                       SLOT(objectStateChanged(QDBusMessage))))
        return;
    // "object:" alone: every object event, "showing" among them.
    QDBusMessage listen = QDBusMessage::createMethodCall(RegistryService, u"/org/a11y/atspi/registry"_s,
                                                         RegistryService, u"RegisterEvent"_s);
    listen << u"object:"_s;
    m_listening = m_bus.call(listen, QDBus::Block, callTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

void AccessibleTree::objectStateChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() >= 2 && arguments.at(0).toString() == QLatin1String("showing") &&
        arguments.at(1).toInt() == 1)
        m_shown.append({message.service(), message.path()});
}

QList<AccessibleTree::Node> AccessibleTree::children(const Node& node)
{
    const QDBusMessage reply = m_bus.call(
        QDBusMessage::createMethodCall(node.service, node.path, AccessibleInterface, u"GetChildren"_s),
        QDBus::Block, callTimeoutMs);
    QList<Node> out;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return out;
    // a(so): the bus name and object path of each child.
    const QDBusArgument list = reply.arguments().first().value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString service;
        QDBusObjectPath path;
        list.beginStructure();
        list >> service >> path;
        list.endStructure();
        out.append({service, path.path()});
    }
    list.endArray();
    return out;
}

QString AccessibleTree::name(const Node& node)
{
    QDBusMessage get = QDBusMessage::createMethodCall(node.service, node.path,
                                                      u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << AccessibleInterface << u"Name"_s;
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

std::optional<AccessibleTree::Node> AccessibleTree::find(const Node& from, const QString& wanted, int depth)
{
    if (depth > maxDepth)
        return std::nullopt;
    for (const Node& child : children(from)) {
        if (name(child) == wanted)
            return child;
        if (const auto found = find(child, wanted, depth + 1))
            return found;
    }
    return std::nullopt;
}

bool AccessibleTree::press(const QString& window, const QString& control)
{
    // The newest shown object first: a popup shown again is announced again.
    QList<Node> candidates(m_shown.rbegin(), m_shown.rend());
    // The registry's root lists the applications, each application's root its windows.
    for (const Node& application : children({RegistryService, Root}))
        candidates += children(application);
    for (const Node& candidate : candidates) {
        if (name(candidate) != window)
            continue;
        const auto target = find(candidate, control, 0);
        if (!target)
            continue;
        QDBusMessage action = QDBusMessage::createMethodCall(target->service, target->path,
                                                             u"org.a11y.atspi.Action"_s, u"DoAction"_s);
        action << 0;
        const QDBusMessage reply = m_bus.call(action, QDBus::Block, callTimeoutMs);
        // A control that quits the application may take its answer with it: only a "no" is a refusal.
        return reply.type() != QDBusMessage::ReplyMessage ||
               (!reply.arguments().isEmpty() && reply.arguments().first().toBool());
    }
    return false;
}

} // namespace tw::test
