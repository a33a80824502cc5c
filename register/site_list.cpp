#include "register/site_list.h"

#include "register/site_device.h"

#include <QDir>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

namespace tarvex::fleet {
namespace {

const QSet<QString> kListKeys = {QStringLiteral("format"), QStringLiteral("version"),
                                 QStringLiteral("sites")};
const QSet<QString> kSiteKeys = {QStringLiteral("name"), QStringLiteral("device"),
                                 QStringLiteral("template"), QStringLiteral("values")};

// A template must stay inside the register: its history and its permissions are the register's.
QString templateProblem(const QString& path)
{
    if (path.isEmpty())
        return QStringLiteral("empty");
    if (QDir::isAbsolutePath(path) || QDir::cleanPath(path).startsWith(QStringLiteral("..")))
        return QStringLiteral("\"%1\" is outside the register").arg(path);
    return {};
}

QString valueProblem(const QJsonValue& value)
{
    return value.isString() || value.isDouble() ? QString() : QStringLiteral("a text or a number");
}

class SiteReader
{
public:
    explicit SiteReader(LoadedList& out) : out_(out) {}

    void read(const QJsonValue& entry, int index)
    {
        site_ = {};
        label_ = QStringLiteral("#%1").arg(index + 1);
        if (!entry.isObject())
            return problem(QStringLiteral("(site)"), QStringLiteral("an object"));
        const QJsonObject object = entry.toObject();
        readName(object.value(QStringLiteral("name")));
        for (auto it = object.begin(); it != object.end(); ++it)
            if (!kSiteKeys.contains(it.key()))
                problem(it.key(), QStringLiteral("unknown key"));
        readDevice(object.value(QStringLiteral("device")));
        readTemplate(object);
        out_.sites.append(site_);
    }

private:
    void problem(const QString& field, const QString& rule)
    {
        out_.problems.append({label_, field, rule});
    }

    void readName(const QJsonValue& name)
    {
        if (!name.isString() || !isSiteName(name.toString()))
            return problem(QStringLiteral("name"),
                           QStringLiteral("letters, digits, '-', '_' and '.', not starting with "
                                          "'.'"));
        site_.name = name.toString();
        label_ = site_.name;
        if (names_.contains(site_.name))
            problem(QStringLiteral("name"), QStringLiteral("another site has this name"));
        names_.insert(site_.name);
    }

    void readDevice(const QJsonValue& device)
    {
        if (!device.isString())
            return problem(QStringLiteral("device"), QStringLiteral("a text"));
        if (device.toString().trimmed().isEmpty())
            return problem(QStringLiteral("device"), QStringLiteral("no device given"));
        QString reason;
        const std::optional<link::DeviceName> named =
            link::DeviceName::fromText(device.toString(), &reason);
        if (!named)
            return problem(QStringLiteral("device"), reason);
        site_.device = *named;
        const QString key = deviceKey(site_.device);
        if (const auto other = lines_.constFind(key); other != lines_.constEnd())
            return problem(QStringLiteral("device"),
                           QStringLiteral("site %1 is on the same line").arg(*other));
        lines_.insert(key, label_);
    }

    void readTemplate(const QJsonObject& object)
    {
        if (const QJsonValue path = object.value(QStringLiteral("template")); !path.isUndefined()) {
            if (!path.isString())
                problem(QStringLiteral("template"), QStringLiteral("a text"));
            else if (const QString reason = templateProblem(path.toString()); !reason.isEmpty())
                problem(QStringLiteral("template"), reason);
            else
                site_.templatePath = path.toString();
        }
        const QJsonValue values = object.value(QStringLiteral("values"));
        if (values.isUndefined())
            return;
        if (!values.isObject())
            return problem(QStringLiteral("values"), QStringLiteral("an object"));
        site_.values = values.toObject();
        for (auto it = site_.values.begin(); it != site_.values.end(); ++it)
            if (const QString rule = valueProblem(it.value()); !rule.isEmpty())
                problem(QStringLiteral("values.") + it.key(), rule);
    }

    LoadedList& out_;
    Site site_;
    QString label_;
    QSet<QString> names_;
    QHash<QString, QString> lines_; // line key -> the site on it
};

} // namespace

QString listFormatName()
{
    return QStringLiteral("tarvex-fleet");
}

QString ListProblem::text() const
{
    return site.isEmpty() ? QStringLiteral("%1: %2").arg(field, rule)
                          : QStringLiteral("site %1, %2: %3").arg(site, field, rule);
}

bool isSiteName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-][A-Za-z0-9._-]*$"));
    return pattern.match(name).hasMatch();
}

LoadedList parseSiteList(const QByteArray& bytes)
{
    LoadedList out;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        out.problems.append({{},
                             QStringLiteral("(list)"),
                             error.error != QJsonParseError::NoError
                                 ? QStringLiteral("not JSON: %1 at offset %2")
                                       .arg(error.errorString())
                                       .arg(error.offset)
                                 : QStringLiteral("an object")});
        return out;
    }
    const QJsonObject root = document.object();
    for (auto it = root.begin(); it != root.end(); ++it)
        if (!kListKeys.contains(it.key()))
            out.problems.append({{}, it.key(), QStringLiteral("unknown key")});
    if (root.value(QStringLiteral("format")) != listFormatName())
        out.problems.append({{}, QStringLiteral("format"), QStringLiteral("\"tarvex-fleet\"")});
    if (root.value(QStringLiteral("version")) != kListVersion)
        out.problems.append({{}, QStringLiteral("version"), QStringLiteral("1")});
    const QJsonValue sites = root.value(QStringLiteral("sites"));
    if (!sites.isArray()) {
        out.problems.append({{}, QStringLiteral("sites"), QStringLiteral("a list")});
        return out;
    }
    SiteReader reader(out);
    const QJsonArray list = sites.toArray();
    for (int index = 0; index < list.size(); ++index)
        reader.read(list.at(index), index);
    if (!out.problems.isEmpty())
        out.sites.clear();
    return out;
}

QByteArray emptySiteList()
{
    return QByteArrayLiteral(
        "{\n  \"format\": \"tarvex-fleet\",\n  \"version\": 1,\n  \"sites\": []\n}\n");
}

} // namespace tarvex::fleet
