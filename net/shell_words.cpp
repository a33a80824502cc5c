#include "net/shell_words.h"

namespace tarvex::link {
namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

// Outside quotes a backslash escapes what would otherwise split or quote; before anything else
// it stays, so that a Windows path (C:\OpenSSH\ssh.exe) needs no quoting.
bool escapableOutsideQuotes(QChar c)
{
    return isBlank(c) || c == u'\'' || c == u'"' || c == u'\\';
}

// Inside double quotes a backslash escapes only these; before anything else it stays.
bool escapableInDoubleQuotes(QChar c)
{
    return c == u'$' || c == u'`' || c == u'"' || c == u'\\' || c == u'\n';
}

class Splitter
{
public:
    explicit Splitter(const QString& command) : text_(command) {}

    std::optional<QStringList> run(QString* wrong)
    {
        while (at_ < text_.size()) {
            if (!step()) {
                *wrong = wrong_;
                return std::nullopt;
            }
        }
        endWord();
        return words_;
    }

private:
    bool step()
    {
        const QChar c = text_.at(at_++);
        if (isBlank(c)) {
            endWord();
            return true;
        }
        inWord_ = true;
        if (c == u'\'')
            return singleQuoted();
        if (c == u'"')
            return doubleQuoted();
        if (c == u'\\')
            return escaped();
        word_ += c;
        return true;
    }

    bool singleQuoted()
    {
        const qsizetype close = text_.indexOf(u'\'', at_);
        if (close < 0)
            return refuse(QStringLiteral("a ' is not closed"));
        word_ += text_.mid(at_, close - at_);
        at_ = close + 1;
        return true;
    }

    bool doubleQuoted()
    {
        while (at_ < text_.size()) {
            const QChar c = text_.at(at_++);
            if (c == u'"')
                return true;
            if (c == u'\\' && at_ < text_.size() && escapableInDoubleQuotes(text_.at(at_))) {
                const QChar next = text_.at(at_++);
                if (next != u'\n')
                    word_ += next;
                continue;
            }
            word_ += c;
        }
        return refuse(QStringLiteral("a \" is not closed"));
    }

    bool escaped()
    {
        if (at_ >= text_.size())
            return refuse(QStringLiteral("it ends in a lone \\"));
        const QChar next = text_.at(at_);
        if (!escapableOutsideQuotes(next)) {
            word_ += u'\\';
            return true;
        }
        ++at_;
        if (next == u'\n' && word_.isEmpty())
            inWord_ = false; // a line continued: no word of its own
        else if (next != u'\n')
            word_ += next;
        return true;
    }

    void endWord()
    {
        if (inWord_)
            words_ << word_;
        word_.clear();
        inWord_ = false;
    }

    bool refuse(const QString& why)
    {
        wrong_ = why;
        return false;
    }

    const QString& text_;
    qsizetype at_ = 0;
    QString word_;
    bool inWord_ = false; // a quoted empty word ('') is a word
    QStringList words_;
    QString wrong_;
};

} // namespace

std::optional<QStringList> shellWords(const QString& command, QString* wrong)
{
    return Splitter(command).run(wrong);
}

} // namespace tarvex::link
