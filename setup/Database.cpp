#include "Database.h"
#include "Com.h"
#include "Text.h"

#include <sqlite3.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>

using winui::AppError;

namespace {

bool EqualsNoCase(const std::wstring& a, const wchar_t* b, int bLength = -1)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, bLength, TRUE) ==
           CSTR_EQUAL;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    return EqualsNoCase(a, b.c_str(), static_cast<int>(b.size()));
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring Trim(const std::wstring& text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

std::string ToUtf8(const std::wstring& text) { return winui::Narrow(text, CP_UTF8); }
std::wstring FromUtf8(const char* text) { return winui::Widen(std::string(text), CP_UTF8); }

// The engine's message for the last failure on the connection.
AppError EngineError(sqlite3* db, int code)
{
    if (const void* text = db ? sqlite3_errmsg16(db) : nullptr)
        return AppError(static_cast<const wchar_t*>(text));
    return AppError(FromUtf8(sqlite3_errstr(code)));
}

AppError NotOpen() { return AppError(L"The database connection is not open"); }

using ComObject = winui::ComPtr<IUnknown>;

// The ADO classes: ADODB.Connection and ADODB.Command.
const CLSID kAdoConnection = {0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
const CLSID kAdoCommand = {0x00000507, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

ComObject CreateComObject(const CLSID& clsid)
{
    IUnknown* raw = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                        reinterpret_cast<void**>(&raw));
    ComObject object(raw);
    if (FAILED(hr)) throw AppError(winui::SystemMessage(static_cast<DWORD>(hr)));
    return object;
}

} // namespace

std::wstring DataSourceOf(const std::wstring& connectionString)
{
    const std::wstring& s = connectionString;
    const std::size_t n = s.size();
    std::wstring dataSource;
    std::size_t i = 0;
    while (i < n) {
        const std::size_t equals = s.find_first_of(L"=;", i);
        if (equals == std::wstring::npos) break;
        if (s[equals] == L';') { // a part without a value
            i = equals + 1;
            continue;
        }
        const std::wstring key = Trim(s.substr(i, equals - i));
        i = equals + 1;
        while (i < n && IsBlank(s[i])) ++i;
        std::wstring value;
        if (i < n && (s[i] == L'"' || s[i] == L'\'')) {
            const wchar_t quote = s[i++];
            for (; i < n; ++i) {
                if (s[i] != quote) {
                    value += s[i];
                } else if (i + 1 < n && s[i + 1] == quote) {
                    value += quote;
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            const std::size_t semicolon = s.find(L';', i);
            i = semicolon == std::wstring::npos ? n : semicolon + 1;
        } else {
            const std::size_t semicolon = s.find(L';', i);
            const std::size_t end = semicolon == std::wstring::npos ? n : semicolon;
            value = Trim(s.substr(i, end - i));
            i = end + 1;
        }
        if (EqualsNoCase(key, L"Data Source")) dataSource = value; // the last one counts
    }
    return dataSource;
}

std::wstring AppDatabaseConnectionString(const std::wstring& programDir)
{
    std::wstring dataSource = programDir + L"\\data\\kiwa.db";
    // Read back by DataSourceOf: a ';' would end the value, a quote or blank first would
    // be taken for quoting or trimmed.
    if (dataSource.find(L';') != std::wstring::npos || dataSource.find_first_of(L"\"' \t") == 0) {
        std::wstring quoted = L"\"";
        for (const wchar_t c : dataSource) {
            quoted += c;
            if (c == L'"') quoted += c;
        }
        dataSource = quoted + L"\"";
    }
    return L"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=" + dataSource +
           L";Persist Security Info=True";
}

// --- DbConnection ---------------------------------------------------------------------

void DbConnection::Closer::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

DbConnection::DbConnection() = default;

DbConnection::~DbConnection()
{
    Disconnect();
    for (DbQuery* query : queries_) query->connection_ = nullptr;
}

void DbConnection::SetConnectionString(const std::wstring& text)
{
    if (text == connectionString_) return;
    if (Connected())
        throw AppError(L"Cannot change the connection string while the connection is open");
    connectionString_ = text;
}

void DbConnection::Connect()
{
    if (Connected()) return;
    const std::wstring path = DataSourceOf(connectionString_);
    if (path.empty()) throw AppError(L"The connection string names no Data Source");

    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(ToUtf8(path).c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, Closer> db(raw);
    if (rc != SQLITE_OK) throw EngineError(db.get(), rc);
    sqlite3_busy_timeout(db.get(), 5000);
    // Opening reads nothing; reading the schema tells a database from any other file.
    rc = sqlite3_exec(db.get(), "PRAGMA schema_version", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw EngineError(db.get(), rc);
    db_ = std::move(db);
}

void DbConnection::Disconnect()
{
    for (DbQuery* query : queries_) query->Close();
    db_.reset();
}

// --- DbQuery ----------------------------------------------------------------------------

void DbQuery::Finalizer::operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }

DbQuery::DbQuery(DbConnection& connection) : connection_(&connection)
{
    connection.queries_.push_back(this);
}

DbQuery::~DbQuery()
{
    Close();
    if (connection_) {
        auto& queries = connection_->queries_;
        queries.erase(std::remove(queries.begin(), queries.end(), this), queries.end());
    }
}

void DbQuery::SetSql(const std::wstring& text)
{
    Close();
    sql_ = text;
    parameters_.clear();
}

void DbQuery::SetParameter(const std::wstring& name, const std::wstring& value)
{
    for (auto& parameter : parameters_) {
        if (EqualsNoCase(parameter.first, name)) {
            parameter.second = value;
            return;
        }
    }
    parameters_.emplace_back(name, value);
}

sqlite3* DbQuery::Database() const
{
    if (!connection_ || !connection_->db_) throw NotOpen();
    return connection_->db_.get();
}

DbQuery::Statement DbQuery::Prepare() const
{
    sqlite3* db = Database();
    const int bytes = static_cast<int>(sql_.size() * sizeof(wchar_t));
    sqlite3_stmt* raw = nullptr;
    const void* tail = nullptr;
    int rc = sqlite3_prepare16_v2(db, sql_.c_str(), bytes, &raw, &tail);
    Statement statement(raw);
    if (rc != SQLITE_OK) throw EngineError(db, rc);
    if (!statement) throw AppError(L"The query has no statement");

    // One statement only: after it may come semicolons, blanks and comments.
    const auto* rest = static_cast<const wchar_t*>(tail);
    const int restBytes = static_cast<int>((sql_.c_str() + sql_.size() - rest) * sizeof(wchar_t));
    if (restBytes > 0) {
        sqlite3_stmt* extraRaw = nullptr;
        rc = sqlite3_prepare16_v2(db, rest, restBytes, &extraRaw, nullptr);
        const Statement extra(extraRaw);
        if (rc != SQLITE_OK) throw EngineError(db, rc);
        if (extra) throw AppError(L"The query holds more than one statement");
    }
    return statement;
}

void DbQuery::Bind(sqlite3_stmt* statement) const
{
    std::vector<bool> used(parameters_.size(), false);
    const int count = sqlite3_bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
        const char* marker = sqlite3_bind_parameter_name(statement, index); // ":p1"
        const std::wstring name = marker ? FromUtf8(marker + 1) : std::wstring();
        std::size_t found = 0;
        while (found < parameters_.size() &&
               (name.empty() || !EqualsNoCase(name, parameters_[found].first)))
            ++found;
        if (found == parameters_.size()) {
            throw AppError(L"No value given for parameter " +
                           (marker ? FromUtf8(marker) : L"?" + std::to_wstring(index)));
        }
        used[found] = true;
        const std::wstring& value = parameters_[found].second;
        const int rc = sqlite3_bind_text16(statement, index, value.c_str(),
                                           static_cast<int>(value.size() * sizeof(wchar_t)),
                                           SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) throw EngineError(sqlite3_db_handle(statement), rc);
    }
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        if (!used[i]) throw AppError(L"Parameter '" + parameters_[i].first + L"' not found");
    }
}

void DbQuery::Open()
{
    Close();
    Statement statement = Prepare();
    if (sqlite3_column_count(statement.get()) == 0)
        throw AppError(L"The statement gives no rows; run it with Execute");
    Bind(statement.get());
    const int rc = sqlite3_step(statement.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw EngineError(Database(), rc);
    result_ = std::move(statement);
    eof_ = rc == SQLITE_DONE;
}

std::wstring DbQuery::FieldAsText(const std::wstring& name) const
{
    if (!result_) throw AppError(L"The query is not open");
    if (eof_) throw AppError(L"The query has no current row");
    sqlite3_stmt* statement = result_.get();
    const int count = sqlite3_column_count(statement);
    for (int column = 0; column < count; ++column) {
        const auto* columnName = static_cast<const wchar_t*>(sqlite3_column_name16(statement, column));
        if (!columnName || !EqualsNoCase(name, columnName)) continue;
        if (sqlite3_column_type(statement, column) == SQLITE_NULL) return {};
        const auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(statement, column));
        if (!text) return {};
        const int bytes = sqlite3_column_bytes16(statement, column);
        return std::wstring(text, static_cast<std::size_t>(bytes) / sizeof(wchar_t));
    }
    throw AppError(L"Field '" + name + L"' not found");
}

void DbQuery::Close()
{
    result_.reset();
    eof_ = true;
}

void DbQuery::Execute()
{
    Close();
    Statement statement = Prepare();
    Bind(statement.get());
    int rc;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) throw EngineError(Database(), rc);
}

// --- Creation ---------------------------------------------------------------------------

DatabaseObjects CreateDatabaseObjects()
{
    {
        winui::ComApartment apartment;
        const ComObject connection = CreateComObject(kAdoConnection);
        const ComObject command = CreateComObject(kAdoCommand);
    }
    DatabaseObjects objects;
    objects.connection = std::make_unique<DbConnection>();
    objects.query = std::make_unique<DbQuery>(*objects.connection);
    return objects;
}
