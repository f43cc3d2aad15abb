#include "contacts/frmDetails.h"

#include "data/ContactStore.h"
#include "data/RecordSet.h"
#include "session/Session.h"
#include "ui/ActionLabel.h"
#include "ui/DesignedFormImpl.h"
#include "ui/Pictures.h"
#include "ui_frmDetails.h"

#include <QComboBox>

template class ui::DesignedForm<Ui::frmDetails>;

frmDetails::frmDetails() = default;
frmDetails::~frmDetails() = default;

void frmDetails::wireControls()
{
    fields = contacts::bindFields(window());
    for (const contacts::BoundField& field : fields) {
        // Drop-downs open with nothing chosen and an empty box.
        if (auto* list = qobject_cast<QComboBox*>(field.control()))
            list->setCurrentIndex(-1);
        if (field.field().isNumberBox())
            field.control()->installEventFilter(this);
    }
    on(ui->cmdFirst, &QToolButton::clicked, &frmDetails::cmdFirst_Click);
    on(ui->cmdPrev, &QToolButton::clicked, &frmDetails::cmdPrev_Click);
    on(ui->cmdNext, &QToolButton::clicked, &frmDetails::cmdNext_Click);
    on(ui->cmdLast, &QToolButton::clicked, &frmDetails::cmdLast_Click);
    // A choice from the list, by mouse or arrow keys; typing does not count.
    on(ui->cbCategory, &QComboBox::activated, &frmDetails::cbCategory_Click);

    wire(ui->lblAddNew, ui->cmdAdd, &frmDetails::lblAddNew_Click);
    wire(ui->lblModify, ui->cmdModify, &frmDetails::lblModify_Click);
    wire(ui->lblSave, ui->cmdSave, &frmDetails::lblSave_Click);
    wire(ui->lblCancel, ui->cmdCancel, &frmDetails::lblCancel_Click);
    wire(ui->lblClear, ui->cmdClear, &frmDetails::lblClear_Click);
    wire(ui->lblSearch, ui->cmdSearch, &frmDetails::lblSearch_Click);
    wire(ui->lblViewDetails, ui->cmdView, &frmDetails::lblViewDetails_Click);
    wire(ui->lblPrint, ui->cmdPrint, &frmDetails::lblPrint_Click);
    wire(ui->lblChangeUser, ui->cmdUser, &frmDetails::cmdUser_Click);
    wire(ui->lblQuit, ui->cmdQuit, &frmDetails::lblQuit_Click, Key::Esc);
}

void frmDetails::Form_Load()
{
    app::Session& session = app::session();
    ui::loadPicture(ui->imgPicDetails, QStringLiteral("details.bmp"));
    auto store = std::make_unique<data::ContactStore>(session.DbConnection(), session.CurrentUser);
    auto contacts = std::make_unique<data::RecordSet>(session.DbConnection(), store->select());
    // Save refuses a second contact of the same names, across workstations too.
    contacts->setRowWriter([&added = *store](const QList<data::Equality>& row) { return added.addRow(row); });
    rsContacts = std::move(contacts);
    contactStore = std::move(store);
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
    app::session().ActiveFormTag = app::tags::formDetails;
}

bool frmDetails::eventFilter(QObject* watched, QEvent* event)
{
    if (ui && event->type() == QEvent::KeyPress)
        return numberBoxKeyPress(event); // only the number boxes are watched
    return ui::Form::eventFilter(watched, event);
}

void frmDetails::lblQuit_Click()
{
    unload();
    app::session().ConfirmQuit();
}

void frmDetails::cmdUser_Click()
{
    unload();
    app::session().show(app::Window::Vantrel);
}

std::array<QToolButton*, 4> frmDetails::navigationButtons() const
{
    return {ui->cmdFirst, ui->cmdNext, ui->cmdLast, ui->cmdPrev};
}

void frmDetails::DisableNavigation()
{
    for (QToolButton* button : navigationButtons())
        button->setEnabled(false);
}

void frmDetails::EnableNavigation()
{
    for (QToolButton* button : navigationButtons())
        button->setEnabled(true);
}

void frmDetails::RefreshNavigation()
{
    if (rsContacts->recordCount() <= 1) {
        DisableNavigation();
        return;
    }
    EnableNavigation();
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
    for (const contacts::BoundField& field : fields)
        field.control()->setEnabled(false);
}

void frmDetails::UnlockFields()
{
    for (const contacts::BoundField& field : fields)
        field.control()->setEnabled(true);
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
