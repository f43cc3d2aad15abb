#pragma once

#include <QMap>
#include <QProcess>

namespace testsupport {

struct Finished
{
    int status = -1; // also when the program could not be started
    bool crashed = false;
    QString out, err;
};

struct RunWith
{
    QByteArray input = {};                   // standard input, closed after it
    QMap<QString, QString> environment = {}; // over this process's own
    QString folder = {};                     // the working folder; this process's when empty
};

// Runs a program to its end; ctest's time limit of the test bounds a program that hangs.
inline Finished runProgram(const QString& program, const QStringList& args, const RunWith& with = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto variable = with.environment.cbegin(); variable != with.environment.cend(); ++variable)
        environment.insert(variable.key(), variable.value());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(with.folder);
    process.start(program, args);
    process.write(with.input);
    process.closeWriteChannel();
    const bool ended = process.waitForFinished(-1); // not when the program is missing (poppler-utils, abook)
    if (!ended)
        qWarning("%s: %s", qPrintable(program), qPrintable(process.errorString()));
    return {ended ? process.exitCode() : -1, process.exitStatus() == QProcess::CrashExit,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace testsupport
