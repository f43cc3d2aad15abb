#pragma once

#include "data/Contact.h"

#include <QString>
#include <optional>

namespace data {
class Connection;
}

namespace report {

// The contact that the contact window's Print placed in `printDetails`, or
// nothing when no row is staged. Reads only.
std::optional<data::Contact> readStagedContact(data::Connection& connection);

// What a person is told when nothing is staged.
QString nothingStagedMessage();

} // namespace report
