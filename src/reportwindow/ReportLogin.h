#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ReportLogin;
}
namespace data {
class Connection;
}

// Who is printing, asked before the preview when the book is on a server: the
// server shows each person only their own staged contact. A wrong password is
// told as the program's login tells it, and the person tries again. Enter
// logs in, Esc cancels.
class ReportLogin final : public QDialog
{
    Q_OBJECT
public:
    explicit ReportLogin(data::Connection& book, QWidget* parent = nullptr);
    ~ReportLogin() override;

    // Once accepted: the person's own connection, read-only as the book is.
    std::unique_ptr<data::Connection> takePerson();

    void accept() override;

private:
    void logIn();
    bool logsIn(data::Connection& person);

    std::unique_ptr<Ui::ReportLogin> ui;
    data::Connection& m_book;
    std::unique_ptr<data::Connection> m_person;
};
