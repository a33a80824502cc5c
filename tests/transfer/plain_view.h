#pragma once

#include "transfer/configuration.h"

#include <QStringList>

// Plain values that record every notice they were given.
class PlainView : public tarvex::transfer::PlainConfigurationView
{
public:
    QStringList notices; // "warn: TITLE: TEXT" or "inform: TITLE: TEXT", in order

    PlainView() { values.phones.fill(QStringLiteral("0")); }

    void warn(const QString& title, const QString& text) override
    {
        notices << QStringLiteral("warn: %1: %2").arg(title, text);
    }
    void inform(const QString& title, const QString& text) override
    {
        notices << QStringLiteral("inform: %1: %2").arg(title, text);
    }
};
