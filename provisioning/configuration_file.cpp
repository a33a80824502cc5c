#include "provisioning/configuration_file.h"

#include "protocol/value_rules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace tarvex::provisioning {
namespace {

const QString kFileRoot = QStringLiteral("(file)");
const QSet<QString> kRootKeys = {QStringLiteral("format"), QStringLiteral("version"),
                                 QStringLiteral("identity"), QStringLiteral("phones"),
                                 QStringLiteral("events")};
const QSet<QString> kPhoneKeys = {QStringLiteral("numbers"), QStringLiteral("test")};
const QSet<QString> kEventSettingKeys = {QStringLiteral("enabled"), QStringLiteral("message")};

QByteArray quoted(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

bool isPlainKey(const QString& key)
{
    return !key.isEmpty() && std::all_of(key.begin(), key.end(), [](QChar character) {
        return character == u'_' || (character.unicode() < 0x80 && character.isLetterOrNumber());
    });
}

// A key that is empty or holds odd characters is quoted, so that every path names one place.
QString join(const QString& path, const QString& key)
{
    const QString shown = isPlainKey(key) ? key : QString::fromUtf8(quoted(key));
    return path.isEmpty() ? shown : path + u'.' + shown;
}

// Collects the problems of one file while its values are taken over.
class Reader
{
public:
    QList<Problem> problems;

    void add(const QString& path, const QString& rule) { problems.append({path, rule}); }

    void refuseUnknownKeys(const QJsonObject& object, const QSet<QString>& known,
                           const QString& path)
    {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!known.contains(it.key()))
                add(join(path, it.key()), QStringLiteral("unknown key"));
        }
    }

    std::optional<QString> string(const QJsonValue& value, const QString& path)
    {
        if (!value.isString()) {
            add(path, QStringLiteral("must be a string"));
            return std::nullopt;
        }
        return value.toString();
    }

    std::optional<QJsonObject> object(const QJsonValue& value, const QString& path)
    {
        if (!value.isObject()) {
            add(path, QStringLiteral("must be an object"));
            return std::nullopt;
        }
        return value.toObject();
    }

    void header(const QJsonObject& root)
    {
        if (!root.contains(QStringLiteral("format")))
            add(QStringLiteral("format"), QStringLiteral("missing"));
        else if (root.value(QStringLiteral("format")) != formatName())
            add(QStringLiteral("format"), QStringLiteral("must be \"%1\"").arg(formatName()));
        version(root);
    }

    void version(const QJsonObject& root)
    {
        const QString path = QStringLiteral("version");
        if (!root.contains(path))
            return add(path, QStringLiteral("missing"));
        const double value = root.value(path).toDouble(-1);
        // Compared as a double: any JSON number, however large, must not overflow a cast.
        if (!root.value(path).isDouble() || value < 1 || value != std::floor(value))
            return add(path, QStringLiteral("must be a whole number from 1"));
        if (value > kFormatVersion)
            add(path, QStringLiteral("%1 is newer than this program reads (%2)")
                          .arg(QString::number(value, 'g', 17))
                          .arg(kFormatVersion));
    }

    std::optional<QString> phoneNumber(const QJsonValue& value, const QString& path)
    {
        const auto number = string(value, path);
        if (number && !protocol::phoneNumberProblem(*number).isEmpty()) {
            add(path, protocol::phoneNumberProblem(*number));
            return std::nullopt;
        }
        return number;
    }

    std::optional<QStringList> numbers(const QJsonValue& value)
    {
        const QString path = QStringLiteral("phones.numbers");
        if (!value.isArray()) {
            add(path, QStringLiteral("must be an array"));
            return std::nullopt;
        }
        const QJsonArray array = value.toArray();
        if (array.size() > protocol::kPhoneSlots)
            add(path, QStringLiteral("%1 numbers, at most %2")
                          .arg(array.size())
                          .arg(protocol::kPhoneSlots));
        QStringList numbers;
        for (qsizetype i = 0; i < array.size(); ++i)
            numbers << phoneNumber(array.at(i), numberPath(int(i))).value_or(QString());
        return numbers;
    }

    void phones(const QJsonValue& value, ManagedConfiguration& configuration)
    {
        const auto phones = object(value, QStringLiteral("phones"));
        if (!phones)
            return;
        refuseUnknownKeys(*phones, kPhoneKeys, QStringLiteral("phones"));
        if (phones->contains(QStringLiteral("numbers")))
            configuration.numbers = numbers(phones->value(QStringLiteral("numbers")));
        if (phones->contains(QStringLiteral("test")))
            configuration.testNumber =
                phoneNumber(phones->value(QStringLiteral("test")), testNumberPath());
    }

    EventSettings event(const QJsonValue& value, int index, const QString& path)
    {
        EventSettings settings;
        const auto event = object(value, path);
        if (!event)
            return settings;
        refuseUnknownKeys(*event, kEventSettingKeys, path);
        if (event->contains(QStringLiteral("enabled"))) {
            const QJsonValue enabled = event->value(QStringLiteral("enabled"));
            if (enabled.isBool())
                settings.enabled = enabled.toBool();
            else
                add(enabledPath(index), QStringLiteral("must be true or false"));
        }
        if (event->contains(QStringLiteral("message"))) {
            settings.message = string(event->value(QStringLiteral("message")), messagePath(index));
            if (settings.message && !protocol::messageProblem(*settings.message).isEmpty())
                add(messagePath(index), protocol::messageProblem(*settings.message));
        }
        return settings;
    }

    void events(const QJsonValue& value, ManagedConfiguration& configuration)
    {
        const auto events = object(value, QStringLiteral("events"));
        if (!events)
            return;
        for (auto it = events->begin(); it != events->end(); ++it) {
            const QString path = join(QStringLiteral("events"), it.key());
            if (const auto index = protocol::eventIndex(it.key()))
                configuration.events[size_t(*index)] = event(it.value(), *index, path);
            else
                add(path, QStringLiteral("unknown event; the events are %1")
                              .arg(protocol::eventKeyList()));
        }
    }
};

QByteArray eventLine(const QString& key, const EventSettings& settings)
{
    QByteArrayList fields;
    if (settings.enabled)
        fields << "\"enabled\": " + QByteArray(*settings.enabled ? "true" : "false");
    if (settings.message)
        fields << "\"message\": " + quoted(*settings.message);
    return "    " + quoted(key) + ": { " + fields.join(", ") + (fields.isEmpty() ? "}" : " }");
}

} // namespace

QString formatName()
{
    return QStringLiteral("tarvex-config");
}

bool ManagedConfiguration::managesEventMask() const
{
    return std::any_of(events.begin(), events.end(),
                       [](const EventSettings& event) { return event.enabled.has_value(); });
}

Loaded loadConfiguration(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return {std::nullopt,
                {{kFileRoot, QStringLiteral("not valid JSON: %1 at byte %2")
                                 .arg(error.errorString())
                                 .arg(error.offset)}}};
    if (!document.isObject())
        return {std::nullopt, {{kFileRoot, QStringLiteral("must be a JSON object")}}};

    const QJsonObject root = document.object();
    Reader reader;
    ManagedConfiguration configuration;
    reader.refuseUnknownKeys(root, kRootKeys, QString());
    reader.header(root);
    if (root.contains(QStringLiteral("identity")))
        configuration.identity =
            reader.string(root.value(QStringLiteral("identity")), QStringLiteral("identity"))
                .value_or(QString());
    if (root.contains(QStringLiteral("phones")))
        reader.phones(root.value(QStringLiteral("phones")), configuration);
    if (root.contains(QStringLiteral("events")))
        reader.events(root.value(QStringLiteral("events")), configuration);

    if (!reader.problems.isEmpty())
        return {std::nullopt, reader.problems};
    return {configuration, {}};
}

QList<Problem> problemsOf(const ManagedConfiguration& configuration)
{
    QList<Problem> problems;
    const QStringList numbers = configuration.numbers.value_or(QStringList());
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (const QString rule = protocol::phoneNumberProblem(numbers[i]); !rule.isEmpty())
            problems.append({numberPath(int(i)), rule});
    }
    if (configuration.testNumber) {
        if (const QString rule = protocol::phoneNumberProblem(*configuration.testNumber);
            !rule.isEmpty())
            problems.append({testNumberPath(), rule});
    }
    for (int event = 0; event < kEventCount; ++event) {
        const auto& message = configuration.events[size_t(event)].message;
        if (message && !protocol::messageProblem(*message).isEmpty())
            problems.append({messagePath(event), protocol::messageProblem(*message)});
    }
    return problems;
}

QString numberPath(int index)
{
    return QStringLiteral("phones.numbers[%1]").arg(index);
}

QString testNumberPath()
{
    return QStringLiteral("phones.test");
}

QString countPath()
{
    return QStringLiteral("phones.count");
}

QString enabledPath(int event)
{
    return QStringLiteral("events.%1.enabled").arg(protocol::eventKeys()[size_t(event)]);
}

QString messagePath(int event)
{
    return QStringLiteral("events.%1.message").arg(protocol::eventKeys()[size_t(event)]);
}

QJsonObject toJson(const ManagedConfiguration& configuration)
{
    const QJsonDocument document = QJsonDocument::fromJson(fileText(configuration));
    return document.object();
}

QByteArray fileText(const ManagedConfiguration& configuration)
{
    QByteArrayList entries = {"  \"format\": " + quoted(formatName()),
                              "  \"version\": " + QByteArray::number(kFormatVersion)};
    if (!configuration.identity.isEmpty())
        entries << "  \"identity\": " + quoted(configuration.identity);
    QByteArrayList phones;
    if (configuration.numbers) {
        QByteArrayList numbers;
        for (const QString& number : *configuration.numbers)
            numbers << quoted(number);
        phones << "    \"numbers\": [" + numbers.join(", ") + "]";
    }
    if (configuration.testNumber)
        phones << "    \"test\": " + quoted(*configuration.testNumber);
    if (!phones.isEmpty())
        entries << "  \"phones\": {\n" + phones.join(",\n") + "\n  }";
    QByteArrayList events;
    for (int event = 0; event < kEventCount; ++event) {
        const EventSettings& settings = configuration.events[size_t(event)];
        if (settings.enabled || settings.message)
            events << eventLine(protocol::eventKeys()[size_t(event)], settings);
    }
    if (!events.isEmpty())
        entries << "  \"events\": {\n" + events.join(",\n") + "\n  }";
    return "{\n" + entries.join(",\n") + "\n}\n";
}

} // namespace tarvex::provisioning
