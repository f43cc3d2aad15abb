#pragma once

#include <QProcess>
#include <QSet>
#include <QString>

namespace testsupport {

class Program;

// Another workstation on the program's folder: a copy of this test program,
// run as an ordinary user when the tests run as root (file permissions hold
// for an ordinary user only). It drives the windows as a person would:
//   save    logs in as ann and saves the contacts <prefix><i> Twin, i < count,
//           stopping when the program ends;
//   retry   the same, pressing Save again after a failure and starting the
//           program again when it ended, until it is saved or already there;
//   signup  signs up the users <prefix><i> with the password "pw";
//   modify  logs in as ann, finds the contact whose first name is <prefix>
//           by View, and saves <count> as its phone.
// It prints "saved <name>" once the program confirmed it, and any other
// message on its error stream.
QProcess* startWorkstation(const Program& program, const QString& mode, int count, const QString& prefix);
// Runs a copy of a program placed in a program folder, as an ordinary user
// when the tests run as root, with data/ and its database file given to it.
QProcess* startInFolder(const QString& folder, const QString& executable, const QStringList& args);
// The names a finished workstation reported saved.
QSet<QString> savedBy(QProcess& workstation);
// The child's side; the test programs' main runs it for "--workstation".
int workstation(int argc, char** argv);
// Gives a file or folder to the ordinary user the workstations run as.
void giveToOrdinaryUser(const QString& path);

} // namespace testsupport
