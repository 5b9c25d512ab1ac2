#pragma once

#include <QProcess>
#include <QString>

// What python3-vobject, which shares nothing with our reader, finds wrong in an exported card
// file against the book (see vcardcheck.py); empty when it reads every card and agrees.
inline QString VobjectDisagreement(const QString& vcfPath, const QString& dbPath) {
    QProcess python;
    python.start(
        "/usr/bin/python3",
        {qEnvironmentVariable("VC_SOURCE_DIR") + "/tests/common/vcardcheck.py", vcfPath, dbPath});
    if (!python.waitForFinished(60000))
        return "vcardcheck.py did not finish";
    const QString errors = python.readAllStandardError();
    return python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0
               ? QString()
               : "vobject: " + (errors.isEmpty() ? QString("failed") : errors);
}
