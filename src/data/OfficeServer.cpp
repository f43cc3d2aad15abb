#include "data/OfficeServer.h"

#include "data/DataError.h"
#include "data/Passwords.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <libpq-fe.h>
#include <optional>
#include <utility>

namespace data::office {

namespace {

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery query(db);
    const bool done = values.isEmpty() ? query.exec(sql) : query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!done || (!values.isEmpty() && !query.exec()))
        throw DataError(query.lastError().text().trimmed());
    return query;
}

// Every function fixes its search_path and names what it calls in full, so
// that nothing a caller puts earlier in its own path can stand in for it.
// NOLINTBEGIN(bugprone-suspicious-missing-comma): long statements are written over several literals
const char* const accessLayer[] = {
    "create schema if not exists vantrel_access",
    "revoke all on schema vantrel_access from public",

    // The server role of an account: derived from the database and the row, as
    // role names are the whole cluster's and at most 63 bytes long.
    R"(create or replace function vantrel_access.role_of(account bigint) returns text
       language sql stable security definer set search_path = pg_catalog, pg_temp as $body$
         select 'vantrel_' || d.oid::text || '_' || account::text
         from pg_catalog.pg_database d where d.datname = pg_catalog.current_database() $body$)",
    // The account of the role this session logged in as (a client cannot change session_user).
    R"(create or replace function vantrel_access.my_account() returns bigint
       language sql stable security definer set search_path = pg_catalog, pg_temp as $body$
         select u.vantrel_id from @book@."userMaster" u
         where u.vantrel_id = pg_catalog.substring(session_user::text, '_([0-9]+)$')::bigint
           and vantrel_access.role_of(u.vantrel_id) = session_user::text $body$)",
    R"(create or replace function vantrel_access.me() returns text
       language sql stable security definer set search_path = pg_catalog, pg_temp as $body$
         select u."user" from @book@."userMaster" u where u.vantrel_id = vantrel_access.my_account() $body$)",

    R"(create or replace function vantrel_access.user_names() returns setof text
       language sql stable security definer set search_path = pg_catalog, pg_temp as $body$
         select u."user" from @book@."userMaster" u order by u.vantrel_id $body$)",
    R"(create or replace function vantrel_access.name_taken(name text) returns boolean
       language sql stable security definer set search_path = pg_catalog, pg_temp as $body$
         select exists (select 1 from @book@."userMaster" u where u."user" = name) $body$)",
    // Only the public part of each password: its parameters and salt.
    R"(create or replace function vantrel_access.accounts_of(name text) returns table (role text, settings text)
       language sql stable security definer set search_path = pg_catalog, pg_temp as $body$
         select vantrel_access.role_of(u.vantrel_id), u."Password" from @book@."userMaster" u
         where u."user" = name order by u.vantrel_id $body$)",

    // An account's role; the verifier is the server's own SCRAM form, never a password.
    R"(create or replace function vantrel_access.give_role(account bigint, verifier text) returns void
       language plpgsql security definer set search_path = pg_catalog, pg_temp as $body$
       begin
         if verifier !~ '^SCRAM-SHA-256\$[0-9]+:[A-Za-z0-9+/=]+\$[A-Za-z0-9+/=]+:[A-Za-z0-9+/=]+$' then
           raise exception 'not a password verifier';
         end if;
         execute pg_catalog.format('create role %I login password %L in role vantrel_people',
                                   vantrel_access.role_of(account), verifier);
       end $body$)",
    // An account, whose stored password is only its settings: they hold no key.
    R"(create or replace function vantrel_access.add_account(name text, settings text, verifier text) returns bigint
       language plpgsql security definer set search_path = pg_catalog, pg_temp as $body$
       declare account bigint;
       begin
         if settings !~ '^\$argon2id\$v=19\$m=[0-9]+,t=[0-9]+,p=1\$[A-Za-z0-9+/]+\$$' then
           raise exception 'not a password''s settings';
         end if;
         insert into @book@."userMaster" ("user", "Password") values (name, settings)
           returning vantrel_id into account;
         perform vantrel_access.give_role(account, verifier);
         return account;
       end $body$)",
    R"(create or replace function vantrel_access.remove_accounts() returns void
       language plpgsql security definer set search_path = pg_catalog, pg_temp as $body$
       declare account bigint;
       begin
         for account in select u.vantrel_id from @book@."userMaster" u loop
           execute pg_catalog.format('drop role if exists %I', vantrel_access.role_of(account));
         end loop;
         delete from @book@."userMaster";
       end $body$)",
    // Sign-up: one account a name, also for two workstations at once.
    R"(create or replace function vantrel_access.sign_up(name text, settings text, verifier text) returns boolean
       language plpgsql security definer set search_path = pg_catalog, pg_temp as $body$
       begin
         perform pg_catalog.pg_advisory_xact_lock(pg_catalog.hashtext('userMaster|' || name));
         if exists (select 1 from @book@."userMaster" u where u."user" = name) then
           return false;
         end if;
         perform vantrel_access.add_account(name, settings, verifier);
         return true;
       end $body$)",
    // A person's new password, only while the old one is still the stored one.
    R"(create or replace function vantrel_access.change_password(old_settings text, settings text, verifier text)
       returns boolean
       language plpgsql security definer set search_path = pg_catalog, pg_temp as $body$
       begin
         if settings !~ '^\$argon2id\$v=19\$m=[0-9]+,t=[0-9]+,p=1\$[A-Za-z0-9+/]+\$$'
            or verifier !~ '^SCRAM-SHA-256\$[0-9]+:[A-Za-z0-9+/=]+\$[A-Za-z0-9+/=]+:[A-Za-z0-9+/=]+$' then
           raise exception 'not a password''s settings and verifier';
         end if;
         update @book@."userMaster" u set "Password" = settings
           where u.vantrel_id = vantrel_access.my_account() and u."Password" = old_settings;
         if not found then
           return false;
         end if;
         execute pg_catalog.format('alter role %I password %L', session_user, verifier);
         return true;
       end $body$)",

    "revoke all on all functions in schema vantrel_access from public",
    "grant usage on schema vantrel_access to vantrel_gate, vantrel_people",
    "grant execute on function vantrel_access.user_names(), vantrel_access.name_taken(text), "
    "vantrel_access.accounts_of(text), "
    "vantrel_access.sign_up(text, text, text) to vantrel_gate",
    "grant execute on function vantrel_access.me(), vantrel_access.change_password(text, text, text) to "
    "vantrel_people",

    // The tables: a person reaches only their own rows, through the policies.
    R"(revoke all on @book@."userMaster", @book@.main, @book@."printDetails", @book@."syncBooks",
       @book@."syncCards" from public)",
    R"(alter table @book@."printDetails" add column if not exists vantrel_owner text collate "C"
       default vantrel_access.me())",
    // Delete: a card deleted on a person's phone leaves their book (vantrel-sync).
    "grant select, insert, update, delete on @book@.main to vantrel_people",
    R"(grant select, insert, update, delete on @book@."syncBooks", @book@."syncCards" to vantrel_people)",
    R"(grant select, insert, delete on @book@."printDetails" to vantrel_people)",
    "alter table @book@.main enable row level security",
    R"(alter table @book@."printDetails" enable row level security)",
    "drop policy if exists own_contacts on @book@.main",
    R"(create policy own_contacts on @book@.main to vantrel_people
       using ("user" = (select vantrel_access.me())) with check ("user" = (select vantrel_access.me())))",
    R"(drop policy if exists own_staged_row on @book@."printDetails")",
    R"(create policy own_staged_row on @book@."printDetails" to vantrel_people
       using (vantrel_owner = (select vantrel_access.me())) with check (vantrel_owner = (select vantrel_access.me())))",
    R"(alter table @book@."syncBooks" enable row level security)",
    R"(alter table @book@."syncCards" enable row level security)",
    R"(drop policy if exists own_address_books on @book@."syncBooks")",
    R"(create policy own_address_books on @book@."syncBooks" to vantrel_people
       using ("user" = (select vantrel_access.me())) with check ("user" = (select vantrel_access.me())))",
    R"(drop policy if exists own_cards on @book@."syncCards")",
    R"(create policy own_cards on @book@."syncCards" to vantrel_people
       using ("user" = (select vantrel_access.me())) with check ("user" = (select vantrel_access.me())))",
};
// NOLINTEND(bugprone-suspicious-missing-comma)

// Any role may end the sessions of its own role: the gate's, other
// workstations' login windows. Only a superuser may take that from everyone,
// in this database; an administrator who is none asks one (README).
void keepSessionsApart(const QSqlDatabase& db)
{
    run(db, QStringLiteral(R"(do $$ begin
          if (select rolsuper from pg_catalog.pg_roles where rolname = current_user) then
            revoke execute on function pg_catalog.pg_terminate_backend(integer, bigint),
              pg_catalog.pg_cancel_backend(integer) from public;
          end if;
        end $$)"));
}

// Roles belong to the whole server, so two books being set up at the same
// moment may both find a role missing: the one that loses the race finds it
// made, which is what it wanted.
void createRoles(const QSqlDatabase& db)
{
    run(db, QStringLiteral(R"(do $$ begin
          if not exists (select 1 from pg_catalog.pg_roles where rolname = 'vantrel_people') then
            begin
              create role vantrel_people nologin;
            exception when duplicate_object or unique_violation then null;
            end;
          end if;
          if not exists (select 1 from pg_catalog.pg_roles where rolname = 'vantrel_gate') then
            begin
              create role vantrel_gate login;
            exception when duplicate_object or unique_violation then null;
            end;
          end if;
        end $$)"));
}

// A password as another book kept it, made into what the server keeps: the
// settings in the table and the key for the role's verifier. Nothing for
// Null, or for a server's settings, whose key no one knows.
std::optional<std::pair<QString, QString>> serverPassword(const QVariant& stored)
{
    if (stored.isNull())
        return std::nullopt;
    const QString text = stored.toString();
    if (passwords::isHashed(text) && text.endsWith(QLatin1Char('$')))
        return std::nullopt;
    const QString hashed = passwords::isHashed(text) ? text : passwords::hash(text);
    const QString settings = passwords::settingsOf(hashed);
    return std::pair{settings, hashed.mid(settings.size())};
}

// Accounts from before (a password as typed, or a whole hash from a book
// file) get their role; only the public settings stay in the table.
void giveAccountsTheirRoles(const QSqlDatabase& db, const QString& book)
{
    QList<std::pair<QVariant, QVariant>> accounts; // read first: the server answers one query at a time
    {
        QSqlQuery query =
            run(db, QStringLiteral(R"(select u.vantrel_id, u."Password" from @book@."userMaster" u
            where not exists (select 1 from pg_catalog.pg_roles r where r.rolname = vantrel_access.role_of(u.vantrel_id))
            order by u.vantrel_id)")
                        .replace(QLatin1String("@book@"), book));
        while (query.next())
            accounts.append({query.value(0), query.value(1)});
    }
    for (const auto& [account, stored] : std::as_const(accounts)) {
        const auto made = serverPassword(stored);
        if (!made)
            continue; // no password: no one can log in as it, now as before
        run(db,
            QStringLiteral(R"(update @book@."userMaster" set "Password" = ? where vantrel_id = ?)")
                .replace(QLatin1String("@book@"), book),
            {made->first, account});
        run(db, QStringLiteral("select vantrel_access.give_role(?, ?)"),
            {account, verifierFor(db, made->second)});
    }
}

} // namespace

void secure(const QSqlDatabase& db)
{
    run(db, QStringLiteral("set client_min_messages = warning")); // not "... does not exist, skipping"
    createRoles(db);
    // The book's tables are those of the schema they were made in; the
    // functions name it, as they name everything they use.
    QSqlQuery schema = run(db, QStringLiteral("select pg_catalog.quote_ident(pg_catalog.current_schema())"));
    const QString book = schema.next() ? schema.value(0).toString() : QStringLiteral("public");
    for (const char* statement : accessLayer)
        run(db, QString::fromUtf8(statement).replace(QLatin1String("@book@"), book));
    giveAccountsTheirRoles(db, book);
    keepSessionsApart(db);
}

void addAccount(const QSqlDatabase& db, const QString& user, const QVariant& stored)
{
    if (const auto made = serverPassword(stored)) {
        run(db, QStringLiteral("select vantrel_access.add_account(?, ?, ?)"),
            {user, made->first, verifierFor(db, made->second)});
        return;
    }
    run(db, QStringLiteral(R"(insert into "userMaster" ("user", "Password") values (?, ?))"), {user, stored});
}

void removeAccounts(const QSqlDatabase& db)
{
    run(db, QStringLiteral("select vantrel_access.remove_accounts()"));
}

QString userNamesSql()
{
    return QStringLiteral("select name from vantrel_access.user_names() as name");
}

QString nameTakenSql()
{
    return QStringLiteral("select vantrel_access.name_taken(?)");
}

QString accountsOfSql()
{
    return QStringLiteral("select role, settings from vantrel_access.accounts_of(?)");
}

QString signUpSql()
{
    return QStringLiteral("select vantrel_access.sign_up(?, ?, ?)");
}

QString changePasswordSql()
{
    return QStringLiteral("select vantrel_access.change_password(?, ?, ?)");
}

void requireSecured(const QSqlDatabase& db)
{
    QSqlQuery query = run(db, QStringLiteral("select pg_catalog.to_regprocedure("
                                             "'vantrel_access.sign_up(text, text, text)') is not null"));
    if (!query.next() || !query.value(0).toBool())
        throw DataError(
            QStringLiteral("The server book is not set up to keep people apart: its administrator "
                           "runs vantrel-createdb --server once."));
}

namespace {
PGconn* handleOf(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    // Qt names the type by libpq's struct: "pg_conn*".
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        throw DataError(QStringLiteral("The database driver is not PostgreSQL's."));
    return *static_cast<PGconn* const*>(handle.constData());
}
} // namespace

QString verifierFor(const QSqlDatabase& db, const QString& key)
{
    const QByteArray text = key.toUtf8();
    char* verifier = PQencryptPasswordConn(handleOf(db), text.constData(), "", "scram-sha-256");
    if (!verifier)
        throw DataError(QString::fromUtf8(PQerrorMessage(handleOf(db))).trimmed());
    QString made = QString::fromLatin1(verifier);
    PQfreemem(verifier);
    return made;
}

bool passwordWasChecked(const QSqlDatabase& db)
{
    return PQconnectionUsedPassword(handleOf(db)) == 1;
}

} // namespace data::office
