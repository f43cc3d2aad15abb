#pragma once

#include <QStringList>

namespace data {
class Connection;
}

// vantrel-exchange export|import --user NAME [--format vcard3|vcard4|vcard21|csv|csv-thunderbird] FILE
// The password comes from the terminal, without echo, or from standard input.
// Returns the exit status: 0 on success, else non-zero after one line on stderr.
int runCommandLine(const QStringList& arguments, data::Connection& connection);
