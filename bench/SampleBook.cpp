#include "SampleBook.h"

#include "ProgramFolder.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <random>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace bench {

namespace {

const char* const firstNames[] = {
    "Aoife", "Brian", "Ciara", "Declan", "Eimear", "Fionn",   "Grace",   "Hugh", "Isla", "Jack",
    "Kate",  "Liam",  "Maeve", "Niall",  "Orla",   "Padraig", "Roisin",  "Sean", "Tara", "Una",
    "Amara", "Bilal", "Chen",  "Dmitri", "Elena",  "Farid",   "Giulia",  "Hana", "Ivan", "Jun",
    "Karim", "Lucia", "Mateo", "Nadia",  "Omar",   "Priya",   "Quentin", "Rosa", "Sven", "Yuki"};
const char* const secondNames[] = {"Byrne",  "Murphy",   "Kelly",    "O'Brien",  "Walsh",
                                   "Ryan",   "O'Connor", "Doyle",    "McCarthy", "Gallagher",
                                   "Nguyen", "Garcia",   "Kowalski", "Rossi",    "Schmidt",
                                   "Tanaka", "Haddad",   "Novak",    "Silva",    "Okafor"};
const char* const streets[] = {"Harbour Road", "Main Street",    "Quay Street", "Church Lane",
                               "Mill Road",    "Station Avenue", "Green Park",  "Hill View"};
const char* const towns[] = {"Cork", "Galway", "Kinsale", "Dublin", "Sligo", "Ennis", "Tralee", "Wexford"};

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(sqlite3_errmsg(db));
}

class Generator
{
public:
    explicit Generator(unsigned seed) : m_random(seed) {}
    template <size_t N> const char* pick(const char* const (&items)[N]) { return items[below(N)]; }
    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_random); }
    std::string digits(int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += char('0' + below(10));
        return text;
    }

private:
    std::mt19937 m_random;
};

void insertContacts(sqlite3* db, const char* user, int count, Generator& random)
{
    sqlite3_stmt* insert = nullptr;
    // The columns named: the book has its hidden UID beside them, which it fills itself.
    const QByteArray sql = "insert into main (" +
                           data::schema::mainColumns().join(QLatin1String(", ")).toUtf8() +
                           ") values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &insert, nullptr), db);
    const char* const categories[] = {"Friends", "Relatives", "Business Partners"};
    const char* const friendSubs[] = {"Home", "Office", "Institute"};
    const char* const relativeSubs[] = {"Mom Side", "Dad Side"};
    for (int i = 0; i < count; ++i) {
        const size_t category = random.below(3);
        const std::string first = std::string(random.pick(firstNames)) + std::to_string(random.below(1000));
        const std::string second = random.pick(secondNames);
        const std::string address =
            std::to_string(1 + random.below(200)) + " " + random.pick(streets) + "\n" + random.pick(towns);
        const std::string office = "Unit " + std::to_string(1 + random.below(40)) + ", " +
                                   random.pick(streets) + "\n" + random.pick(towns);
        const std::string values[23] = {
            user,
            categories[category],
            category == 0   ? random.pick(friendSubs)
            : category == 1 ? random.pick(relativeSubs)
                            : "Suppliers",
            first,
            second,
            address,
            random.digits(7),
            random.digits(7),
            random.digits(10),
            random.digits(10),
            std::to_string(1 + random.below(31)),
            std::to_string(1 + random.below(12)),
            std::to_string(1970 + random.below(31)),
            std::to_string(1 + random.below(31)),
            std::to_string(1 + random.below(12)),
            std::to_string(1970 + random.below(31)),
            office,
            random.digits(7),
            random.digits(7),
            random.digits(10),
            random.digits(10),
            first + "@home.example",
            first + "." + second + "@work.example",
        };
        for (int c = 0; c < 23; ++c)
            sqlite3_bind_text(insert, c + 1, values[c].c_str(), int(values[c].size()), SQLITE_TRANSIENT);
        check(sqlite3_step(insert), db);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
}

} // namespace

void fillSampleBook(const QString& path, int contacts)
{
    sqlite3* db = nullptr;
    check(sqlite3_open(path.toUtf8().constData(), &db), db);
    check(sqlite3_exec(db, "pragma synchronous = off; begin", nullptr, nullptr, nullptr), db);
    check(sqlite3_exec(db,
                       "insert into userMaster values ('bench', 'pw'), ('other1', 'pw'), ('other2', 'pw')",
                       nullptr, nullptr, nullptr),
          db);
    Generator random(20261205);
    insertContacts(db, "bench", contacts, random);
    insertContacts(db, "other1", contacts / 4 + 100, random);
    insertContacts(db, "other2", contacts / 4 + 100, random);
    check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    // A real book was written long before it is opened: without this, the first
    // save of a run would pay for flushing the whole freshly built file.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || ::fsync(file.handle()) != 0)
        qFatal("cannot flush the sample book");
}

Names namesAt(const testing::ProgramFolder& folder, int position)
{
    const QVariantList row =
        folder
            .rows(QStringLiteral("select firstName, secondName from main where user = 'bench' "
                                 "order by category, firstName, rowid limit 1 offset ?"),
                  {position})
            .value(0);
    return {row.value(0).toString(), row.value(1).toString()};
}

} // namespace bench
