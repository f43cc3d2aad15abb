#include "ReportLogin.h"

#include "ReportWindow.h"
#include "data/Accounts.h"
#include "data/Connection.h"
#include "data/DataError.h"
#include "ui/Failure.h"
#include "ui/MessageBox.h"
#include "ui_ReportLogin.h"

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

// Enter and OK log in, under the program's failure policy.
void ReportLogin::accept()
{
    ui::runGuarded([this] { logIn(); });
}

void ReportLogin::logIn()
{
    auto person = std::make_unique<data::Connection>();
    if (!logsIn(*person)) {
        ui->txtPassword->clear();
        ui::MessageBox::show(QStringLiteral("User or Password does not match"),
                             QStringLiteral("DEDIV ZODEZO"));
        ui->txtPassword->setFocus(); // the name is usually right
        return;
    }
    m_person = std::move(person);
    QDialog::accept();
}

bool ReportLogin::logsIn(data::Connection& person)
{
    try {
        return data::Accounts(m_book).logIn(ui->txtUser->text(), ui->txtPassword->text(), &person);
    } catch (const data::DataError& error) {
        // The server away: the person may try again once it is back, or cancel.
        throw ui::ShownFailure(error.description(), ReportWindow::title);
    }
}
