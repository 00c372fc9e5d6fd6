// The setup program's access to its application database: a connection and a query
// with the operations the wizard uses, on the embedded SQLite engine. Every failure
// is a winui::AppError carrying the text the user sees; the engine's own messages
// are passed on as it words them.
#pragma once

#include "AppError.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class DbQuery;

// The file named by "Data Source=" in an OLE DB style connection string: pairs
// separated by ';', keys matched without regard to case, values optionally quoted
// with " or ' (a doubled quote stands for itself). Empty when there is none.
std::wstring DataSourceOf(const std::wstring& connectionString);

// The connection string of the application database "\data\kiwa.db" under a program
// directory as typed: the Jet provider, an empty password, the file as Data Source and
// Persist Security Info. A name that would end the value early (a ';' in it, a quote
// first) goes in double quotes.
std::wstring AppDatabaseConnectionString(const std::wstring& programDir);

class DbConnection {
public:
    DbConnection();
    ~DbConnection(); // closes the queries still bound to it, then the database
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // The same text again is always accepted; a different one only while disconnected.
    void SetConnectionString(const std::wstring& text);
    // Opens the existing database file named by the connection string (never creates
    // one) and checks that it is a database. Does nothing when already connected.
    void Connect();
    // Closes the queries bound to this connection, then the database.
    void Disconnect();
    bool Connected() const { return db_ != nullptr; }

private:
    friend class DbQuery;
    struct Closer {
        void operator()(sqlite3* db) const;
    };

    std::wstring connectionString_;
    std::unique_ptr<sqlite3, Closer> db_;
    std::vector<DbQuery*> queries_;
};

class DbQuery {
public:
    explicit DbQuery(DbConnection& connection);
    ~DbQuery();
    DbQuery(const DbQuery&) = delete;
    DbQuery& operator=(const DbQuery&) = delete;

    // Replaces the statement text, closing the open result and forgetting the
    // parameter values. Markers ":name" are named parameters.
    void SetSql(const std::wstring& text);
    // The value of the parameter marked ":name" (name without the colon, any case).
    void SetParameter(const std::wstring& name, const std::wstring& value);
    // Runs the select and stands on its first row.
    void Open();
    // True when the open select gave no row, and while the query is closed.
    bool Eof() const { return eof_; }
    // A column of the current row by name, in any letter case; null reads as "".
    std::wstring FieldAsText(const std::wstring& name) const;
    void Close();
    // Runs a statement that gives no rows (update, insert, alter table, ...).
    void Execute();

private:
    friend class DbConnection;
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

    Statement Prepare() const;
    void Bind(sqlite3_stmt* statement) const;
    sqlite3* Database() const;

    DbConnection* connection_; // null once the connection is gone
    std::wstring sql_;
    std::vector<std::pair<std::wstring, std::wstring>> parameters_;
    Statement result_; // the open select, standing on its current row
    bool eof_ = true;
};

// The connection and its query, created the way the wizard checks the system's data
// components: the ADO Connection and Command classes must be creatable first.
struct DatabaseObjects {
    std::unique_ptr<DbConnection> connection;
    std::unique_ptr<DbQuery> query; // declared last, so freed before the connection
};

// Throws winui::AppError with the system's text for the failure when the ADO
// classes cannot be created (for instance when they are not registered).
DatabaseObjects CreateDatabaseObjects();
