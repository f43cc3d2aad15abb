// The four picture buttons: first, previous, next and last contact.
#include "contacts/frmDetails.h"

#include "data/RecordSet.h"

void frmDetails::redrawAfterMove()
{
    RefreshNavigation();
    ClearFields(); // so that a Null column never shows the previous contact's value
    ShowRecord();
}

void frmDetails::cmdFirst_Click()
{
    if (rsContacts->bof() || rsContacts->eof())
        return;
    rsContacts->moveFirst();
    redrawAfterMove();
}

void frmDetails::cmdLast_Click()
{
    if (rsContacts->bof() || rsContacts->eof())
        return;
    rsContacts->moveLast();
    redrawAfterMove();
}

void frmDetails::cmdPrev_Click()
{
    if (rsContacts->bof() || rsContacts->eof())
        return;
    rsContacts->movePrevious();
    if (rsContacts->bof())
        rsContacts->moveFirst();
    redrawAfterMove();
}

void frmDetails::cmdNext_Click()
{
    if (rsContacts->bof() || rsContacts->eof())
        return;
    rsContacts->moveNext();
    if (rsContacts->eof())
        rsContacts->moveLast();
    redrawAfterMove();
}
