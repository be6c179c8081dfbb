#include "StoreRows.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QVariant>

namespace StoreRows {
namespace {

QByteArray encodeTypes(const QStringList& types)
{
    return QJsonDocument(QJsonArray::fromStringList(types)).toJson(QJsonDocument::Compact);
}

// A null QString would be bound as SQL NULL; the columns hold text, empty included.
QString text(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

QStringList decodeTypes(const QByteArray& json)
{
    // Only this store writes the column; an entry that is not a string would mean the file was edited
    // by hand, and is left out rather than failing the whole list.
    QStringList types;
    const QJsonArray array = QJsonDocument::fromJson(json).array();
    types.reserve(array.size());
    for (const QJsonValue& v : array) {
        if (v.isString())
            types << v.toString();
    }
    return types;
}

QString encodeLines(const QList<int>& lines)
{
    QJsonArray array;
    for (int line : lines)
        array.append(line);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// Like the types, a hand-edited column must not cost the finding: unsound numbers end the list there.
QList<int> decodeLines(const QByteArray& json)
{
    QList<int> lines;
    for (const QJsonValue& v : QJsonDocument::fromJson(json).array()) {
        const int line = v.toInt(0);
        if (line < 1 || (!lines.isEmpty() && line <= lines.last()))
            break;
        lines << line;
    }
    return lines;
}

} // namespace

void bind(QSqlQuery& q, const Directory& d)
{
    q.bindValue(0, d.id().toBytes());
    q.bindValue(1, QString::fromLatin1(d.url().toEncoded()));
    q.bindValue(2, d.watchNewFiles() ? 1 : 0);
    q.bindValue(3, d.watchNewDirectories() ? 1 : 0);
    q.bindValue(4, d.isRepository() ? 1 : 0);
    q.bindValue(5, d.isPromptFolder() ? 1 : 0);
}

void bind(QSqlQuery& q, const Finding& f)
{
    q.bindValue(0, f.id().toBytes());
    q.bindValue(1, text(f.path()));
    q.bindValue(2, text(f.ruleName()));
    q.bindValue(3, text(f.severity()));
    q.bindValue(4, QString::fromUtf8(encodeTypes(f.eventTypes())));
    q.bindValue(5, f.timestamp().toMSecsSinceEpoch());
    // NULL for the usual name that is UTF-8, which `path` already holds exactly.
    q.bindValue(6, f.pathBytes().isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray))
                                           : QVariant(f.pathBytes()));
    q.bindValue(7, text(f.description()));
    q.bindValue(8, encodeLines(f.lines()));
}

Directory readDirectory(const QSqlQuery& q)
{
    return Directory::materialize(PersistentIdentifier::fromBytes(q.value(0).toByteArray()),
                                  QUrl::fromEncoded(q.value(1).toString().toLatin1(), QUrl::StrictMode),
                                  q.value(2).toInt() != 0, q.value(3).toInt() != 0, q.value(4).toInt() != 0,
                                  q.value(5).toInt() != 0);
}

Finding readFinding(const QSqlQuery& q)
{
    return Finding::materialize(
        PersistentIdentifier::fromBytes(q.value(0).toByteArray()), q.value(1).toString(),
        q.value(2).toString(), q.value(3).toString(), decodeTypes(q.value(4).toString().toUtf8()),
        QDateTime::fromMSecsSinceEpoch(q.value(5).toLongLong(), Qt::UTC), q.value(6).toByteArray(),
        q.value(7).toString(), decodeLines(q.value(8).toString().toUtf8()));
}

} // namespace StoreRows
