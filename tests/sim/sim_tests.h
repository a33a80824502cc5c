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

// What the unit says on the line, written out here so that a changed constant in sim/ shows.
inline const QByteArray kIdentity = QByteArrayLiteral("KTX-210 Tarvex PSI"); // the default
inline const QByteArray kIdentityReply = kIdentity + '\r';
inline const QByteArray kOk = QByteArrayLiteral("OK\r");
inline const QByteArray kEnd("\0\r", 2); // of a message text

namespace tarvex::sim {
inline char* toString(const UnitMemory& memory) // what QCOMPARE shows of a memory that differs
{
    return QTest::toString(QJsonDocument(toJson(memory)).toJson(QJsonDocument::Compact));
}
} // namespace tarvex::sim
