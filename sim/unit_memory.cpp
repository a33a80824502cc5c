#include "sim/unit_memory.h"

#include "sim/regular_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace tarvex::sim {

namespace {

const auto kCountKey = QStringLiteral("count");
const auto kMaskKey = QStringLiteral("mask");
const auto kPhonesKey = QStringLiteral("phones");
const auto kMessagesKey = QStringLiteral("messages");

// A JSON string of ISO 8859-1 characters, as the bytes that travel on the line.
bool readText(const QJsonValue& value, const QString& where, QByteArray& out, QString* error)
{
    if (!value.isString()) {
        *error = QStringLiteral("%1 must be a string").arg(where);
        return false;
    }
    const QString text = value.toString();
    if (QString::fromLatin1(text.toLatin1()) != text) {
        *error = QStringLiteral("%1 holds a character outside ISO 8859-1").arg(where);
        return false;
    }
    out = text.toLatin1();
    return true;
}

template <std::size_t N>
bool readTexts(const QJsonObject& object, const QString& key, int longest,
               std::array<QByteArray, N>& out, QString* error)
{
    if (!object.contains(key))
        return true;
    const QJsonArray array = object.value(key).toArray();
    if (!object.value(key).isArray() || std::size_t(array.size()) > N) {
        *error = QStringLiteral("%1 must be an array of at most %2 strings").arg(key).arg(N);
        return false;
    }
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("%1[%2]").arg(key).arg(i);
        if (!readText(array.at(i), where, out[i], error))
            return false;
        if (out[i].size() > longest) {
            *error = QStringLiteral("%1 is longer than the unit holds (%2 characters at most)")
                         .arg(where)
                         .arg(longest);
            return false;
        }
    }
    return true;
}

bool readCount(const QJsonObject& object, int& out, QString* error)
{
    if (!object.contains(kCountKey))
        return true;
    const QJsonValue value = object.value(kCountKey);
    const int count = value.toInt(-1);
    if (!value.isDouble() || count < 0 || count > kMaxPhoneCount || value.toDouble() != count) {
        *error = QStringLiteral("%1 must be a whole number from 0 to %2")
                     .arg(kCountKey)
                     .arg(kMaxPhoneCount);
        return false;
    }
    out = count;
    return true;
}

bool readMask(const QJsonObject& object, QByteArray& out, QString* error)
{
    if (!object.contains(kMaskKey))
        return true;
    QByteArray mask;
    if (!readText(object.value(kMaskKey), kMaskKey, mask, error))
        return false;
    if (!isEventMask(mask)) {
        *error = QStringLiteral("%1 must be eight characters \"0\" or \"1\"").arg(kMaskKey);
        return false;
    }
    out = mask;
    return true;
}

template <std::size_t N> QJsonArray textsToJson(const std::array<QByteArray, N>& texts)
{
    QJsonArray array;
    for (const QByteArray& text : texts)
        array.append(QString::fromLatin1(text));
    return array;
}

// What a state file that holds no JSON object holds instead.
QString notAnObject(const QJsonDocument& document, const QJsonParseError& parseError)
{
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("is not valid JSON: %1 at byte %2")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    if (document.isArray())
        return QStringLiteral("holds a JSON array; the unit's memory is a JSON object");
    return QStringLiteral("holds no JSON object");
}

} // namespace

std::array<QByteArray, kStoredNumbers> UnitMemory::defaultPhones()
{
    std::array<QByteArray, kStoredNumbers> phones;
    phones.fill(QByteArray(kLongestPhone, '0'));
    return phones;
}

std::array<QByteArray, kMessageSlots> UnitMemory::defaultMessages()
{
    return {"Power 1 is ON",  "Power 2 is ON",  "Power 1 is OFF", "Power 2 is OFF",
            "Input 1 is OFF", "Input 2 is OFF", "Input 3 is OFF", "Test message"};
}

bool isEventMask(const QByteArray& flags)
{
    return flags.size() == kMaskLength &&
           std::all_of(flags.begin(), flags.end(), [](char c) { return c == '0' || c == '1'; });
}

QJsonObject toJson(const UnitMemory& memory)
{
    return QJsonObject{
        {kCountKey, memory.phoneCount},
        {kMaskKey, QString::fromLatin1(memory.eventMask)},
        {kPhonesKey, textsToJson(memory.phones)},
        {kMessagesKey, textsToJson(memory.messages)},
    };
}

std::optional<UnitMemory> memoryFromJson(const QJsonObject& object, QString* error)
{
    UnitMemory memory;
    if (!readCount(object, memory.phoneCount, error) ||
        !readMask(object, memory.eventMask, error) ||
        !readTexts(object, kPhonesKey, kLongestPhone, memory.phones, error) ||
        !readTexts(object, kMessagesKey, kLongestMessage, memory.messages, error))
        return std::nullopt;
    return memory;
}

std::optional<UnitMemory> loadMemory(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.exists())
        return UnitMemory{};
    if (!openRegularFile(file, path, QIODevice::ReadOnly, error))
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *error = QStringLiteral("%1 %2").arg(path, notAnObject(document, parseError));
        return std::nullopt;
    }
    QString why;
    auto memory = memoryFromJson(document.object(), &why);
    if (!memory)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return memory;
}

bool saveMemory(const QString& path, const UnitMemory& memory, QString* error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(toJson(memory)).toJson(QJsonDocument::Indented));
        if (file.commit())
            return true;
    }
    *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
}

} // namespace tarvex::sim
