#pragma once

#include "data/Accounts.h"
#include "exchange/Exchange.h"

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class ExchangeWindow;
}
namespace data {
class Connection;
}
class QPushButton;

// vantrel-exchange's window: log in, choose import or export, the file and
// the format, watch the progress (Cancel imports nothing), read the summary.
// Keyboard: access keys on every control, Enter presses the page's main
// button, Esc cancels the work or closes the window.
class ExchangeWindow final : public QDialog
{
    Q_OBJECT
public:
    static inline const QString title = QStringLiteral("Vantrel Exchange");

    explicit ExchangeWindow(data::Connection& connection, QWidget* parent = nullptr);
    ~ExchangeWindow() override;

    // Asks for a file; an empty text when the person cancels. Tests answer it.
    using FileChooser = std::function<QString(QWidget* parent, bool forExport, const QString& current)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    void reject() override;

private:
    void logIn();
    bool logInToBook();
    void browse();
    void guessFormat();
    void start();
    exchange::Format chosenFormat() const;
    bool mayReplace(const QString& path);
    void anotherFile();
    void runImport(const QString& path);
    void runExport(const QString& path);
    bool working(qint64 done, qint64 total);
    void showPage(QWidget* page, QWidget* focus, QPushButton* enterPresses);
    void showSummary(const QString& text);

    std::unique_ptr<Ui::ExchangeWindow> ui;
    // On a server book, the person's own connection once logged in.
    data::PersonalBook m_personal; // the book after the login
    data::Connection& book() { return m_personal.book(); }
    QString m_user;
    FileChooser m_chooseFile;
    QString m_folder;        // where Browse starts when the file box is empty
    QString m_replaceAgreed; // a file the save dialog was told to replace
    bool m_exported = false; // what the last Start did
    bool m_formatChosen = false;
    bool m_working = false;
    bool m_cancelled = false;
};
