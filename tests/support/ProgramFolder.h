#pragma once

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

namespace testing {

// A program folder of its own, laid out as an installed one: data/vantrel.mdb
// with the three tables and the program's indexes, and images/ with the
// windows' pictures. Shared by the tests, the screenshot tool and the benchmark.
class ProgramFolder final
{
public:
    ProgramFolder();
    ~ProgramFolder();
    Q_DISABLE_COPY_MOVE(ProgramFolder)

    QString path() const { return m_dir.path(); }
    QString databasePath() const { return m_dir.path() + QLatin1String("/data/vantrel.mdb"); }

    // SQL on the database file through a connection of its own; a failing
    // statement throws std::runtime_error with the engine's text.
    void exec(const QString& sql, const QVariantList& values = {}) const;
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {}) const;
    // The first column of the first row; an invalid QVariant without rows.
    QVariant value(const QString& sql, const QVariantList& values = {}) const;

    void addUser(const QString& user, const QString& password) const;
    // A contact of `user`; the columns not given are Null.
    void addContact(const QString& user, const QMap<QString, QVariant>& columns) const;

private:
    QTemporaryDir m_dir;
    QString m_connectionName;
};

} // namespace testing
