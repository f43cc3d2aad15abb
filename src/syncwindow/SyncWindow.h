#pragma once

#include "data/Accounts.h"

#include <QDialog>
#include <memory>

namespace Ui {
class SyncWindow;
}
namespace data {
class Connection;
}
namespace booksync {
struct SyncSummary;
}
class QPushButton;
class QUrl;

// vantrel-sync's window: log in to Vantrel, then give the CardDAV account
// (the last one used is filled in) and Sync; the summary stays on the page,
// the steps show in a status line. Keyboard: access keys on every control,
// Enter presses the page's main button, Esc closes the window.
//
// The sync runs on this thread: the CardDAV client and the keyring wait for
// each answer in a local event loop, which keeps the window painted, and the
// book's connection (on a server, the person's own, made at login) belongs to
// this thread, so a worker would need a second login. While Sync runs, the
// page's controls are off, a second Sync is ignored and the window does not
// close, so nothing can start work inside those loops.
class SyncWindow final : public QDialog
{
    Q_OBJECT
public:
    static inline const QString title = QStringLiteral("Vantrel Sync");

    explicit SyncWindow(data::Connection& connection, QWidget* parent = nullptr);
    ~SyncWindow() override;

    void reject() override;

private:
    void logIn();
    bool logInToBook();
    void fillFromLastSetup();
    void sync();
    QUrl givenAddress() const;
    QString davPassword(const QUrl& address, bool& typed) const;
    void keepPassword(const QUrl& address, bool typed);
    void showProgress(const QString& step);
    void showPage(QWidget* page, QWidget* focus, QPushButton* enterPresses);

    std::unique_ptr<Ui::SyncWindow> ui;
    // On a server book, the person's own connection once logged in.
    data::PersonalBook m_personal; // the book after the login
    data::Connection& book() { return m_personal.book(); }
    QString m_user;
    bool m_syncing = false;
};
