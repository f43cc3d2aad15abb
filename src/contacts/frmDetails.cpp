#include "contacts/frmDetails.h"

#include "accounts/frmVantrel.h"
#include "app/Forms.h"
#include "app/clsConnection.h"
#include "data/RecordSet.h"
#include "ui/KeyboardTwins.h"
#include "ui/Pictures.h"
#include "ui_frmDetails.h"

#include <QComboBox>
#include <QLineEdit>

frmDetails::frmDetails() = default;
frmDetails::~frmDetails() = default;

void frmDetails::setupControls(QWidget* window)
{
    ui = std::make_unique<Ui::frmDetails>();
    ui->setupUi(window);
    fields.bind(*ui);
    // Drop-downs open with nothing chosen and an empty box.
    for (const contacts::ContactField& field : fields.all()) {
        if (auto* list = qobject_cast<QComboBox*>(field.control))
            list->setCurrentIndex(-1);
    }
    for (QLineEdit* box : {ui->txtPhone1, ui->txtPhone2, ui->txtPhone1Office, ui->txtPhone2Office,
                           ui->txtMobile, ui->txtMobileOffice, ui->txtFax, ui->txtFaxOffice})
        box->installEventFilter(this);
    connectActions();
}

void frmDetails::connectActions()
{
    connect(ui->cmdFirst, &QToolButton::clicked, this, &frmDetails::cmdFirst_Click);
    connect(ui->cmdPrev, &QToolButton::clicked, this, &frmDetails::cmdPrev_Click);
    connect(ui->cmdNext, &QToolButton::clicked, this, &frmDetails::cmdNext_Click);
    connect(ui->cmdLast, &QToolButton::clicked, this, &frmDetails::cmdLast_Click);
    // A choice from the list, by mouse or arrow keys; typing does not count.
    connect(ui->cbCategory, &QComboBox::activated, this, &frmDetails::cbCategory_Click);

    const std::pair<ActionLabel*, void (frmDetails::*)()> labels[] = {
        {ui->lblAddNew, &frmDetails::lblAddNew_Click},
        {ui->lblModify, &frmDetails::lblModify_Click},
        {ui->lblSave, &frmDetails::lblSave_Click},
        {ui->lblCancel, &frmDetails::lblCancel_Click},
        {ui->lblClear, &frmDetails::lblClear_Click},
        {ui->lblSearch, &frmDetails::lblSearch_Click},
        {ui->lblViewDetails, &frmDetails::lblViewDetails_Click},
        {ui->lblPrint, &frmDetails::lblPrint_Click},
        {ui->lblChangeUser, &frmDetails::lblChangeUser_Click},
        {ui->lblQuit, &frmDetails::lblQuit_Click},
    };
    for (const auto& [label, handler] : labels)
        connect(label, &ActionLabel::clicked, this, handler);

    // Each hidden button runs its label's action; cmdUser holds the change of user itself.
    const std::pair<QPushButton*, void (frmDetails::*)()> buttons[] = {
        {ui->cmdAdd, &frmDetails::lblAddNew_Click},       {ui->cmdModify, &frmDetails::lblModify_Click},
        {ui->cmdSave, &frmDetails::lblSave_Click},        {ui->cmdCancel, &frmDetails::lblCancel_Click},
        {ui->cmdClear, &frmDetails::lblClear_Click},      {ui->cmdSearch, &frmDetails::lblSearch_Click},
        {ui->cmdView, &frmDetails::lblViewDetails_Click}, {ui->cmdPrint, &frmDetails::lblPrint_Click},
        {ui->cmdUser, &frmDetails::cmdUser_Click},        {ui->cmdQuit, &frmDetails::lblQuit_Click},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
    ui::makeCancelButton(ui->cmdQuit);
}

void frmDetails::discardControls()
{
    fields.unbind();
    ui.reset();
}

void frmDetails::Form_Load()
{
    ui::loadPicture(ui->imgPicDetails, QStringLiteral("details.bmp"));
    rsContacts = std::make_unique<data::RecordSet>(clsConnection::DbConnection(),
                                                   data::statements::contactsOf(clsConnection::CurrentUser));
    RefreshNavigation();
    if (!rsContacts->bof() && !rsContacts->eof()) {
        rsContacts->moveFirst();
        ShowRecord();
    }
    LockFields();
    ui->lblViewDetails->setEnabled(false);
    ui->lblSave->setEnabled(false);
}

void frmDetails::Form_Unload()
{
    clsConnection::ActiveFormTag = QStringLiteral("form details");
}

bool frmDetails::eventFilter(QObject* watched, QEvent* event)
{
    if (!ui)
        return ui::Form::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress)
        return numberBoxKeyPress(event); // the eight number boxes
    return ui::Form::eventFilter(watched, event);
}

void frmDetails::lblQuit_Click()
{
    unload();
    clsConnection::ConfirmQuit();
}

void frmDetails::cmdUser_Click()
{
    unload();
    Forms::frmVantrel().show();
}

void frmDetails::lblChangeUser_Click()
{
    cmdUser_Click();
}

void frmDetails::DisableNavigation()
{
    for (QToolButton* button : {ui->cmdFirst, ui->cmdNext, ui->cmdLast, ui->cmdPrev})
        button->setEnabled(false);
}

void frmDetails::EnableNavigation()
{
    for (QToolButton* button : {ui->cmdFirst, ui->cmdNext, ui->cmdLast, ui->cmdPrev})
        button->setEnabled(true);
}

void frmDetails::RefreshNavigation()
{
    if (rsContacts->recordCount() <= 1) {
        for (QToolButton* button : {ui->cmdPrev, ui->cmdNext, ui->cmdFirst, ui->cmdLast})
            button->setEnabled(false);
        return;
    }
    for (QToolButton* button : {ui->cmdPrev, ui->cmdNext, ui->cmdFirst, ui->cmdLast})
        button->setEnabled(true);
    // Probe the neighbours; the set ends on the row it started from.
    rsContacts->movePrevious();
    if (rsContacts->bof()) {
        ui->cmdPrev->setEnabled(false);
        ui->cmdFirst->setEnabled(false);
    }
    rsContacts->moveNext();
    rsContacts->moveNext();
    if (rsContacts->eof()) {
        ui->cmdNext->setEnabled(false);
        ui->cmdLast->setEnabled(false);
    }
    rsContacts->movePrevious();
}

void frmDetails::LockFields()
{
    for (const contacts::ContactField& field : fields.all())
        field.control->setEnabled(false);
}

void frmDetails::UnlockFields()
{
    for (const contacts::ContactField& field : fields.all())
        field.control->setEnabled(true);
}

void frmDetails::setEditingActions(bool enabled)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{ui->lblAddNew, ui->lblModify, ui->lblSearch, ui->lblPrint,
                                         ui->cmdAdd, ui->cmdModify, ui->cmdSearch, ui->cmdPrint})
        control->setEnabled(enabled);
    ui->lblSave->setEnabled(!enabled);
    ui->cmdSave->setEnabled(!enabled);
}
