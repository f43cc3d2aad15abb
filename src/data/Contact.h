#pragma once

#include "data/Columns.h"

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <array>
#include <stdexcept>

namespace data {

// One contact's own values: the 22 text columns of `main` after `user`, which
// are also the columns of `printDetails`. A null QString stands for Null.
struct Contact
{
    QString category, subCategory, firstName, secondName;
    QString address, phone, phone2, mobile, fax;
    QString dobDate, dobMonth, dobYear, aniDate, aniMonth, aniYear;
    QString addressOff, phoneOff, phone2Off, mobileOff, faxOff;
    QString EMailH, EMailO;

    bool operator==(const Contact&) const = default;
};

// What became of a contact given to a book to add (see ContactStore::add).
enum class Added
{
    Inserted,
    SameUid,  // a contact of the user has its UID: nothing stored
    SameName, // a contact of the user has its first and second names: nothing stored
};

// What became of new values given to a contact of a UID (see ContactStore::replace).
enum class Replaced
{
    Done,
    Missing,  // the user has no contact of that UID
    SameName, // another contact of the user has the new first and second names: nothing changed
};

// One of a contact's values, as a field of Contact.
using ContactField = QString Contact::*;

struct ContactColumn
{
    QLatin1String name;
    ContactField member;
    // A number box takes digits only, and a contact is saved with at most
    // this many of them; 0 for a text.
    int digits = 0;

    constexpr bool isNumber() const { return digits > 0; }
};

// Phones have 7 digits; mobiles and faxes 10.
inline constexpr int phoneDigits = 7;
inline constexpr int longNumberDigits = 10;

// The columns in the order a contact is written and shown.
inline constexpr std::array<ContactColumn, 22> contactColumns{{
    {schema::columns::category, &Contact::category},
    {schema::columns::subCategory, &Contact::subCategory},
    {schema::columns::firstName, &Contact::firstName},
    {schema::columns::secondName, &Contact::secondName},
    {schema::columns::address, &Contact::address},
    {schema::columns::phone, &Contact::phone, phoneDigits},
    {schema::columns::phone2, &Contact::phone2, phoneDigits},
    {schema::columns::mobile, &Contact::mobile, longNumberDigits},
    {schema::columns::fax, &Contact::fax, longNumberDigits},
    {schema::columns::dobDate, &Contact::dobDate},
    {schema::columns::dobMonth, &Contact::dobMonth},
    {schema::columns::dobYear, &Contact::dobYear},
    {schema::columns::aniDate, &Contact::aniDate},
    {schema::columns::aniMonth, &Contact::aniMonth},
    {schema::columns::aniYear, &Contact::aniYear},
    {schema::columns::addressOff, &Contact::addressOff},
    {schema::columns::phoneOff, &Contact::phoneOff, phoneDigits},
    {schema::columns::phone2Off, &Contact::phone2Off, phoneDigits},
    {schema::columns::mobileOff, &Contact::mobileOff, longNumberDigits},
    {schema::columns::faxOff, &Contact::faxOff, longNumberDigits},
    {schema::columns::EMailH, &Contact::EMailH},
    {schema::columns::EMailO, &Contact::EMailO},
}};

// The column of a field of Contact.
constexpr const ContactColumn& columnOf(ContactField member)
{
    for (const ContactColumn& column : contactColumns) {
        if (column.member == member)
            return column;
    }
    throw std::invalid_argument("not a field of Contact"); // every field has its column
}

// The columns' names, in their order: those of `printDetails`, and of `main` after `user`.
inline QStringList contactColumnNames()
{
    QStringList names;
    for (const ContactColumn& column : contactColumns)
        names << column.name;
    return names;
}

} // namespace data
