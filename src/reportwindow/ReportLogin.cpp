#include "ReportLogin.h"

#include "ReportWindow.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "ui/MessageBox.h"
#include "ui_ReportLogin.h"

#include <QMessageBox>
#include <QPushButton>

ReportLogin::ReportLogin(data::Connection& book, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ReportLogin>()), m_book(book)
{
    ui->setupUi(this);
    ui->buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    ui->txtUser->setFocus();
}

ReportLogin::~ReportLogin() = default;

std::unique_ptr<data::Connection> ReportLogin::takePerson()
{
    return std::move(m_person);
}

void ReportLogin::accept()
{
    auto person = std::make_unique<data::Connection>();
    try {
        if (!data::Accounts(m_book).logIn(ui->txtUser->text(), ui->txtPassword->text(), person.get())) {
            ui->txtPassword->clear();
            ui::MessageBox::show(QStringLiteral("User or Password does not match"),
                                 QStringLiteral("DEDIV ZODEZO"));
            ui->txtPassword->setFocus(); // the name is usually right
            return;
        }
    } catch (const data::DataError& error) {
        // The server away: the person may try again once it is back, or cancel.
        QMessageBox::critical(this, ReportWindow::title, error.description());
        return;
    }
    m_person = std::move(person);
    QDialog::accept();
}
