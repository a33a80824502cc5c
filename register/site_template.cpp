#include "register/site_template.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace tarvex::fleet {
namespace {

QString valueText(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    const double number = value.toDouble();
    return number == double(qint64(number)) ? QString::number(qint64(number))
                                            : QString::number(number, 'g', 15);
}

// Fills the placeholders of one tree, noting at each item's path which placeholders it used,
// so that a rule the result breaks can be traced to the value that broke it.
class Filler
{
public:
    Filler(const Site& site, RenderedSite& out) : site_(site), out_(out) {}

    QJsonValue fill(const QJsonValue& value, const QString& path)
    {
        if (value.isObject()) {
            QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end(); ++it)
                it.value() = fill(it.value(), join(path, it.key()));
            return object;
        }
        if (value.isArray()) {
            QJsonArray array = value.toArray();
            for (qsizetype index = 0; index < array.size(); ++index)
                array[index] = fill(array.at(index), QStringLiteral("%1[%2]").arg(path).arg(index));
            return array;
        }
        return value.isString() ? QJsonValue(fillText(value.toString(), path)) : value;
    }

    QStringList placeholdersAt(const QString& path) const { return used_.value(path); }

private:
    static QString join(const QString& path, const QString& key)
    {
        return path.isEmpty() ? key : path + u'.' + key;
    }

    QString fillText(const QString& text, const QString& path)
    {
        static const QRegularExpression placeholder(QStringLiteral("\\$\\{([^}]*)\\}"));
        QString result;
        qsizetype from = 0;
        for (const QRegularExpressionMatch& match : placeholder.globalMatch(text)) {
            result += text.mid(from, match.capturedStart() - from);
            from = match.capturedEnd();
            const QString key = match.captured(1);
            used_[path].append(match.captured());
            const QJsonValue value = site_.values.value(key);
            if (value.isUndefined())
                out_.problems.append(QStringLiteral("site %1, %2: %3 has no value")
                                         .arg(site_.name, path, match.captured()));
            else
                result += valueText(value);
        }
        return result + text.mid(from);
    }

    const Site& site_;
    RenderedSite& out_;
    QHash<QString, QStringList> used_;
};

} // namespace

RenderedSite renderSite(const Site& site, const QByteArray& templateBytes)
{
    RenderedSite out;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(templateBytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        out.problems.append(QStringLiteral("site %1, template %2: not a JSON object")
                                .arg(site.name, site.templatePath));
        return out;
    }
    Filler filler(site, out);
    const QJsonValue filled = filler.fill(document.object(), {});
    if (!out.problems.isEmpty())
        return out;
    const provisioning::Loaded loaded =
        provisioning::loadConfiguration(QJsonDocument(filled.toObject()).toJson());
    for (const provisioning::Problem& problem : loaded.problems) {
        const QStringList placeholders = filler.placeholdersAt(problem.path);
        out.problems.append(QStringLiteral("site %1, %2: %3%4")
                                .arg(site.name, problem.path, problem.rule,
                                     placeholders.isEmpty()
                                         ? QString()
                                         : QStringLiteral(" (filled from %1)")
                                               .arg(placeholders.join(QStringLiteral(", ")))));
    }
    out.configuration = loaded.configuration;
    return out;
}

} // namespace tarvex::fleet
