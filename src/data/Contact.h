#pragma once

#include "data/Columns.h"

#include <QLatin1String>
#include <QString>
#include <array>

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

struct ContactColumn
{
    QLatin1String name;
    QString Contact::*member;
};

// The columns in the order a contact is written and shown.
inline constexpr std::array<ContactColumn, 22> contactColumns{{
    {schema::columns::category, &Contact::category},
    {schema::columns::subCategory, &Contact::subCategory},
    {schema::columns::firstName, &Contact::firstName},
    {schema::columns::secondName, &Contact::secondName},
    {schema::columns::address, &Contact::address},
    {schema::columns::phone, &Contact::phone},
    {schema::columns::phone2, &Contact::phone2},
    {schema::columns::mobile, &Contact::mobile},
    {schema::columns::fax, &Contact::fax},
    {schema::columns::dobDate, &Contact::dobDate},
    {schema::columns::dobMonth, &Contact::dobMonth},
    {schema::columns::dobYear, &Contact::dobYear},
    {schema::columns::aniDate, &Contact::aniDate},
    {schema::columns::aniMonth, &Contact::aniMonth},
    {schema::columns::aniYear, &Contact::aniYear},
    {schema::columns::addressOff, &Contact::addressOff},
    {schema::columns::phoneOff, &Contact::phoneOff},
    {schema::columns::phone2Off, &Contact::phone2Off},
    {schema::columns::mobileOff, &Contact::mobileOff},
    {schema::columns::faxOff, &Contact::faxOff},
    {schema::columns::EMailH, &Contact::EMailH},
    {schema::columns::EMailO, &Contact::EMailO},
}};

} // namespace data
