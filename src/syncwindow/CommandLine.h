#pragma once

#include <QStringList>

namespace data {
class Connection;
}

// vantrel-sync --user NAME [--url URL] [--dav-user NAME] [--forget-password]
// The Vantrel password comes from the terminal, without echo, or from standard
// input; the CardDAV password from the keyring, else the same way after it (and
// is then kept in the keyring). The address and the CardDAV user default to the
// last sync's. Returns the exit status: 0 after the summary on stdout, else 1
// after one line on stderr.
int runCommandLine(const QStringList& arguments, data::Connection& connection);
