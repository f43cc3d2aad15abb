#pragma once

#include <QLatin1String>

namespace data::schema {

// Column names, spelled once. The engine compares them regardless of case.
namespace columns {
inline constexpr QLatin1String user("user");
inline constexpr QLatin1String password("Password");
inline constexpr QLatin1String category("category");
inline constexpr QLatin1String subCategory("subCategory");
inline constexpr QLatin1String firstName("firstName");
inline constexpr QLatin1String secondName("secondName");
inline constexpr QLatin1String address("address");
inline constexpr QLatin1String phone("phone");
inline constexpr QLatin1String phone2("phone2");
inline constexpr QLatin1String mobile("mobile");
inline constexpr QLatin1String fax("fax");
inline constexpr QLatin1String dobDate("dobDate");
inline constexpr QLatin1String dobMonth("dobMonth");
inline constexpr QLatin1String dobYear("dobYear");
inline constexpr QLatin1String aniDate("aniDate");
inline constexpr QLatin1String aniMonth("aniMonth");
inline constexpr QLatin1String aniYear("aniYear");
inline constexpr QLatin1String addressOff("addressOff");
inline constexpr QLatin1String phoneOff("phoneOff");
inline constexpr QLatin1String phone2Off("phone2Off");
inline constexpr QLatin1String mobileOff("mobileOff");
inline constexpr QLatin1String faxOff("faxOff");
inline constexpr QLatin1String EMailH("EMailH");
inline constexpr QLatin1String EMailO("EMailO");
// Hidden: the UID that names a contact to other programs (vCard's UID), kept
// by the engine; no window shows it, and it is none of a contact's 22 values.
inline constexpr QLatin1String uid("uid");
// What a book remembers of the CardDAV address books its people synchronise with.
inline constexpr QLatin1String addressBook("addressBook");
inline constexpr QLatin1String davUser("davUser");
inline constexpr QLatin1String syncToken("syncToken");
inline constexpr QLatin1String lastSync("lastSync");
inline constexpr QLatin1String href("href");
inline constexpr QLatin1String etag("etag");
inline constexpr QLatin1String digest("digest");
} // namespace columns

} // namespace data::schema
