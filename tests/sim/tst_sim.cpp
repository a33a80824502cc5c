// Runs the simulator's test groups one after the other. Test functions named on the command
// line go to the group that has them, so `tst_sim framing signalsEndItCleanly:SIGHUP` works as
// it would for a single group; every other argument goes to each group that runs.

#include "sim_tests.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {

bool hasTestFunction(const QObject& group, const QByteArray& argument)
{
    const QByteArray name = argument.split(':').constFirst(); // "function:data tag"
    return group.metaObject()->indexOfSlot(name + "()") >= 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<QObject> groups[] = {makeSimLogicTests(), makeSimUnitTests(),
                                         makeSimProgramTests()};
    const auto namesAFunction = [&](const char* argument) {
        return argument[0] != '-' &&
               std::any_of(std::begin(groups), std::end(groups),
                           [&](auto& g) { return hasTestFunction(*g, argument); });
    };

    int failures = 0;
    for (const auto& group : groups) {
        std::vector<char*> arguments{argv[0]};
        bool named = false;
        bool namedHere = false;
        for (int i = 1; i < argc; ++i) {
            const bool function = namesAFunction(argv[i]);
            const bool here = function && hasTestFunction(*group, argv[i]);
            named = named || function;
            namedHere = namedHere || here;
            if (!function || here)
                arguments.push_back(argv[i]);
        }
        if (named && !namedHere)
            continue;
        failures += QTest::qExec(group.get(), int(arguments.size()), arguments.data());
    }
    return failures == 0 ? 0 : 1;
}
