#pragma once

#include <QEventLoop>
#include <QTimer>

#include <optional>

namespace tarvex::app {

// Takes an observer's answer to a modal box or dialog from inside an event loop, as the real
// one's exec() would: signals queued before it (a lost device, say) are delivered while it is
// open.
template <class Answer, class Ask> Answer answerAsModal(const Ask& ask)
{
    std::optional<Answer> answer;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        answer = ask();
        loop.quit();
    });
    loop.exec();
    // A quitting application ends every loop at once; the question is answered all the same.
    return answer ? *answer : ask();
}

} // namespace tarvex::app
