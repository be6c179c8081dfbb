#include "WatchEvent.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace {

std::optional<QString> stringField(const QJsonObject& object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || !it->isString())
        return std::nullopt;
    return it->toString();
}

std::optional<QStringList> stringListField(const QJsonObject& object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || !it->isArray())
        return std::nullopt;
    const QJsonArray array = it->toArray();
    QStringList list;
    list.reserve(array.size());
    for (const QJsonValue& value : array) {
        if (!value.isString())
            return std::nullopt;
        list.append(value.toString());
    }
    return list;
}

// All or nothing: a list with one bad entry says nothing reliable about where the match is.
QList<int> linesField(const QJsonObject& object)
{
    const auto it = object.constFind(QLatin1StringView("lines"));
    if (it == object.constEnd() || !it->isArray())
        return {};
    const QJsonArray array = it->toArray();
    if (array.size() > WatchEvent::MaxLines)
        return {};
    QList<int> lines;
    lines.reserve(array.size());
    for (const QJsonValue& value : array) {
        if (!value.isDouble())
            return {};
        const double number = value.toDouble();
        // Beyond 2^31 no file of ours has that many lines; a fraction is no line at all.
        if (!(number >= 1 && number <= std::numeric_limits<int>::max()) || number != std::floor(number))
            return {};
        const int line = static_cast<int>(number);
        if (!lines.isEmpty() && line <= lines.last())
            return {};
        lines.append(line);
    }
    return lines;
}

// QJsonDocument lets raw control characters through inside strings; JSON does not, and a path with
// an unescaped control character did not come from a sound encoder. Outside strings only white space
// (tab, line feed, carriage return, space) may occur among them.
bool hasRawControlCharacter(QByteArrayView line)
{
    bool inString = false;
    bool escaped = false;
    for (const char byte : line) {
        const auto c = static_cast<unsigned char>(byte);
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            if (c < 0x20)
                return true;
        } else if (c == '"') {
            inString = true;
        } else if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<WatchEvent> decodeWatchEvent(QByteArrayView line)
{
    if (line.isEmpty() || hasRawControlCharacter(line))
        return std::nullopt;
    QJsonParseError error;
    // fromJson copies nothing it does not need, but it wants a QByteArray; fromRawData avoids the copy.
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), line.size()), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    auto path = stringField(object, QLatin1StringView("path"));
    auto types = stringListField(object, QLatin1StringView("types"));
    auto rule = stringField(object, QLatin1StringView("rule"));
    auto severity = stringField(object, QLatin1StringView("severity"));
    if (!path || !types || !rule || !severity)
        return std::nullopt;
    QByteArray exact;
    if (const auto bytes = stringField(object, QLatin1StringView("pathBytes"))) {
        const QByteArray::FromBase64Result decoded =
            QByteArray::fromBase64Encoding(bytes->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && !decoded.decoded.isEmpty() && !decoded.decoded.contains('\0') &&
            decoded.decoded != path->toUtf8())
            exact = decoded.decoded;
    }
    return WatchEvent{
        std::move(*path),  std::move(*types),
        std::move(*rule),  std::move(*severity),
        std::move(exact),  stringField(object, QLatin1StringView("description")).value_or(QString()),
        linesField(object)};
}
