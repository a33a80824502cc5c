#pragma once

#include <QByteArray>
#include <QString>
#include <QTest>

// One row per rule of the configuration file: the file's text and the problem it must give
// ("path: rule" or its beginning).
inline QByteArray wholeFile(const QByteArray& members)
{
    return R"({"format": "tarvex-config", "version": 1)" +
           (members.isEmpty() ? QByteArray() : ", " + members) + "}";
}

inline QByteArray withMessage(const QByteArray& message)
{
    return wholeFile(R"("events": {"test": {"message": ")" + message + "\"}}");
}

inline void addInvalidFileRows()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem");
    const auto row = [](const char* name, const QByteArray& text, const char* problem) {
        QTest::newRow(name) << text << QString::fromUtf8(problem);
    };
    row("not JSON", "{", "(file): not valid JSON");
    row("array", "[]", "(file): must be a JSON object");
    row("format missing", R"({"version": 1})", "format: missing");
    row("other format", R"({"format": "x", "version": 1})", "format: must be \"tarvex-config\"");
    row("newer version", R"({"format": "tarvex-config", "version": 2})",
        "version: 2 is newer than this program reads (1)");
    row("huge version", R"({"format": "tarvex-config", "version": 1e80})",
        "version: 1e+80 is newer than this program reads (1)");
    row("fractional version", R"({"format": "tarvex-config", "version": 1.5})",
        "version: must be a whole number from 1");
    row("unknown key", wholeFile(R"("colour": 1)"), "colour: unknown key");
    row("empty key", wholeFile(R"("": 1)"), "\"\": unknown key");
    row("unknown phone key", wholeFile(R"("phones": {"count": 2})"), "phones.count: unknown key");
    row("nine digits", wholeFile(R"("phones": {"numbers": ["980000000"]})"),
        "phones.numbers[0]: 9 characters, must be exactly 10");
    row("letter in number", wholeFile(R"("phones": {"numbers": ["98000O0000"]})"),
        "phones.numbers[0]: digits only");
    row("plus inside", wholeFile(R"("phones": {"test": "98+0000000"})"),
        "phones.test: digits only");
    row("number not a string", wholeFile(R"("phones": {"test": 9800000000})"),
        "phones.test: must be a string");
    row("eleven numbers",
        wholeFile(R"("phones": {"numbers": [)" + QByteArray(R"("9800000000",)").repeated(10) +
                  R"("9800000000"]})"),
        "phones.numbers: 11 numbers, at most 10");
    row("unknown event", wholeFile(R"("events": {"power3_off_to_on": {}})"),
        "events.power3_off_to_on: unknown event");
    row("enabled as text", wholeFile(R"("events": {"test": {"enabled": "yes"}})"),
        "events.test.enabled: must be true or false");
    row("81 characters", withMessage(QByteArray(81, 'a')),
        "events.test.message: 81 characters, at most 80");
    row("79 and a break", withMessage(QByteArray(78, 'a') + R"(\nb)"),
        "events.test.message: 81 characters, at most 80");
    row("euro sign", withMessage("5 €"),
        "events.test.message: holds a character outside ISO 8859-1");
    row("NUL", withMessage(R"(a\u0000b)"), "events.test.message: holds a NUL");
    row("carriage return", withMessage(R"(a\r\nb)"),
        "events.test.message: holds a carriage return");
    row("trailing break", withMessage(R"(ab\n)"), "events.test.message: ends with a line break");
}
