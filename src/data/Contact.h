#pragma once

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
    {QLatin1String("category"), &Contact::category},
    {QLatin1String("subCategory"), &Contact::subCategory},
    {QLatin1String("firstName"), &Contact::firstName},
    {QLatin1String("secondName"), &Contact::secondName},
    {QLatin1String("address"), &Contact::address},
    {QLatin1String("phone"), &Contact::phone},
    {QLatin1String("phone2"), &Contact::phone2},
    {QLatin1String("mobile"), &Contact::mobile},
    {QLatin1String("fax"), &Contact::fax},
    {QLatin1String("dobDate"), &Contact::dobDate},
    {QLatin1String("dobMonth"), &Contact::dobMonth},
    {QLatin1String("dobYear"), &Contact::dobYear},
    {QLatin1String("aniDate"), &Contact::aniDate},
    {QLatin1String("aniMonth"), &Contact::aniMonth},
    {QLatin1String("aniYear"), &Contact::aniYear},
    {QLatin1String("addressOff"), &Contact::addressOff},
    {QLatin1String("phoneOff"), &Contact::phoneOff},
    {QLatin1String("phone2Off"), &Contact::phone2Off},
    {QLatin1String("mobileOff"), &Contact::mobileOff},
    {QLatin1String("faxOff"), &Contact::faxOff},
    {QLatin1String("EMailH"), &Contact::EMailH},
    {QLatin1String("EMailO"), &Contact::EMailO},
}};

} // namespace data
