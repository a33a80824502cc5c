#pragma once

#include "sim/unit_memory.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QTest>

#include <memory>

// The simulator's test groups, all run by tst_sim.
std::unique_ptr<QObject> makeSimLogicTests();   // framing, answers, memory, options
std::unique_ptr<QObject> makeSimUnitTests();    // the unit in-process, on real terminals
std::unique_ptr<QObject> makeSimProgramTests(); // tarvex-sim as a separate program

namespace tarvex::sim {
inline char* toString(const UnitMemory& memory) // what QCOMPARE shows of a memory that differs
{
    return QTest::toString(QJsonDocument(toJson(memory)).toJson(QJsonDocument::Compact));
}
} // namespace tarvex::sim
