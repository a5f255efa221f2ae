// The saved queries of a session on a server: each login's own SQL, kept in kyt.SavedQuery, made
// temporary views of the session in an order where each finds the ones it uses.

#include "db/postgres_database.h"

#include <libpq-fe.h>

#include <cctype>

#include "db/jet_sql.h"

namespace kyt::db {

using jet::lowerCase;
using jet::quoteIdentifier;

namespace {

// The saved queries in an order in which each can be made: one that names another comes after it.
template <typename Query>
std::vector<const Query*> dependencyOrder(const std::vector<Query>& queries)
{
    auto names = [](const std::string& sql, const std::string& name) {
        const std::string text = lowerCase(sql), word = lowerCase(name);
        for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
            const bool before = at == 0 || !(std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_');
            const size_t end = at + word.size();
            const bool after = end >= text.size() || !(std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_');
            if (before && after)
                return true;
        }
        return false;
    };
    std::vector<const Query*> order;
    std::vector<bool> placed(queries.size(), false);
    for (size_t round = 0; round < queries.size(); ++round) {
        for (size_t k = 0; k < queries.size(); ++k) {
            if (placed[k])
                continue;
            bool ready = true;
            for (size_t other = 0; other < queries.size() && ready; ++other)
                ready = other == k || placed[other] || !names(queries[k].sql, queries[other].name);
            if (ready || round + 1 == queries.size()) {
                placed[k] = true;
                order.push_back(&queries[k]);
            }
        }
    }
    return order;
}

}  // namespace

bool PostgresDatabase::savedQuery(const std::string& name, std::string& sql, Failure& failure)
{
    failure = {};
    for (const SavedQueryText& saved : savedQueries_) {
        if (lowerCase(saved.name) == lowerCase(name)) {
            sql = saved.sql;
            return true;
        }
    }
    failure = {kErrOther, "There is no saved query named " + name + " in the database " + path() + "."};
    return false;
}

bool PostgresDatabase::makeViews(const std::string& changed, const std::string& changedSql, Failure& failure)
{
    std::vector<SavedQueryText> next = savedQueries_;
    for (SavedQueryText& saved : next)
        if (!changed.empty() && lowerCase(saved.name) == lowerCase(changed))
            saved.sql = changedSql;
    // A view's columns cannot change in place: every saved query's view goes and comes back, in an
    // order where each finds the ones it uses.
    std::string drop;
    for (const SavedQueryText& saved : next)
        drop += (drop.empty() ? "" : ", ") + std::string("pg_temp.") + quoteIdentifier(lowerCase(saved.name));
    if (!drop.empty() && !script("DROP VIEW IF EXISTS " + drop + " CASCADE", failure))
        return false;
    forgetStatements();
    const bool guarded = transaction_ || PQtransactionStatus(conn_.get()) == PQTRANS_INTRANS;
    for (const SavedQueryText* saved : dependencyOrder(next)) {
        const std::string create = "CREATE TEMPORARY VIEW " + quoteIdentifier(lowerCase(saved->name)) + " AS " +
                                   jet::toPostgres(saved->sql);
        if (!changed.empty() && lowerCase(saved->name) == lowerCase(changed)) {
            if (!run(create, {}, nullptr, failure))
                return false;
            continue;
        }
        // Another saved query that no longer fits (it names a column the changed one dropped) is left
        // out, to fail when it is used, as it would on a file.
        const std::optional<Failure> before = firstFailure_;
        Failure ignored;
        if (guarded && !script("SAVEPOINT kyt_view", failure))
            return false;
        const bool made = run(create, {}, nullptr, ignored);
        firstFailure_ = before;
        if (guarded && !script(made ? "RELEASE kyt_view" : "ROLLBACK TO kyt_view; RELEASE kyt_view", failure))
            return false;
    }
    savedQueries_ = std::move(next);
    return true;
}

bool PostgresDatabase::setSavedQuery(const std::string& name, std::string_view sql, Failure& failure)
{
    failure = {};
    if (transaction_ && firstFailure_) {
        failure = *firstFailure_;
        return false;
    }
    std::string storedName;
    for (const SavedQueryText& saved : savedQueries_)
        if (lowerCase(saved.name) == lowerCase(name))
            storedName = saved.name;
    if (storedName.empty()) {
        failure = {kErrOther, "There is no saved query named " + name + " in the database " + path() + "."};
        return false;
    }
    const std::string text = jet::trimQuerySql(sql);
    const std::string translated = jet::toPostgres(text);

    // Checked and made inside a transaction of its own, or a savepoint of the one open: when the server
    // rejects it, the old view and its SQL come back.
    const bool own = !transaction_;
    const std::optional<Failure> before = firstFailure_;
    const std::vector<SavedQueryText> kept = savedQueries_;
    if (!script(own ? "BEGIN" : "SAVEPOINT kyt_saved_query", failure))
        return false;
    bool ok = true;
    {
        Result checked(PQprepare(conn_.get(), "", translated.c_str(), 0, nullptr));
        if (!checked || PQresultStatus(checked.get()) != PGRES_COMMAND_OK) {
            failure = failureOf(checked.get());
            ok = false;
        }
    }
    if (ok) {
        Result described(PQdescribePrepared(conn_.get(), ""));
        if (!described || PQnfields(described.get()) == 0 || !jet::startsWithWord(translated, "SELECT")) {
            failure = {kErrOther, "A saved query must be one SELECT statement."};
            ok = false;
        }
    }
    ok = ok && makeViews(storedName, text, failure) &&
         run("INSERT INTO kyt.SavedQuery (Login, Name, SQL) VALUES (current_user, $1, $2) "
             "ON CONFLICT (Login, Name) DO UPDATE SET SQL = excluded.SQL",
             {storedName, text}, nullptr, failure);
    Failure undone;
    if (ok) {
        ok = script(own ? "COMMIT" : "RELEASE kyt_saved_query", failure);
    } else {
        script(own ? "ROLLBACK" : "ROLLBACK TO kyt_saved_query; RELEASE kyt_saved_query", undone);
        savedQueries_ = kept;
        firstFailure_ = before;
        forgetStatements();
    }
    return ok;
}

}  // namespace kyt::db
