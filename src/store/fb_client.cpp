#include "store/fb_client.h"

#include <cstring>

namespace patlink {

namespace {

template <typename Function>
void Resolve(const platform::SharedLibrary& library, Function& function, const char* name,
             const char* library_name) {
  function = reinterpret_cast<Function>(library.Symbol(name));
  if (!function)
    throw DatabaseError(std::string("Entry point ") + name + " not found in " + library_name);
}

}  // namespace

ClientLibrary::ClientLibrary(const char* name) : library_(name) {
  if (!library_.loaded())
    throw DatabaseError(std::string("InterBase library ") + name +
                        " not found in the path. Please install InterBase to use this "
                        "functionality");
  Resolve(library_, attach_database, "isc_attach_database", name);
  Resolve(library_, database_info, "isc_database_info", name);
  Resolve(library_, detach_database, "isc_detach_database", name);
  Resolve(library_, start_multiple, "isc_start_multiple", name);
  Resolve(library_, commit_transaction, "isc_commit_transaction", name);
  Resolve(library_, rollback_transaction, "isc_rollback_transaction", name);
  Resolve(library_, dsql_alloc_statement2, "isc_dsql_alloc_statement2", name);
  Resolve(library_, dsql_prepare, "isc_dsql_prepare", name);
  Resolve(library_, dsql_describe, "isc_dsql_describe", name);
  Resolve(library_, dsql_describe_bind, "isc_dsql_describe_bind", name);
  Resolve(library_, dsql_execute, "isc_dsql_execute", name);
  Resolve(library_, dsql_fetch, "isc_dsql_fetch", name);
  Resolve(library_, dsql_free_statement, "isc_dsql_free_statement", name);
  Resolve(library_, sqlcode, "isc_sqlcode", name);
  Resolve(library_, interprete, "isc_interprete", name);
  Resolve(library_, vax_integer, "isc_vax_integer", name);
}

void ClientLibrary::Check(const ISC_STATUS* status) const {
  if (status[0] != 1 || status[1] == 0) return;
  std::string message;
  char line[1024];
  // Walks the vector without changing it, whatever the old signature says.
  ISC_STATUS* cursor = const_cast<ISC_STATUS*>(status);
  while (interprete(line, &cursor) > 0) {
    if (!message.empty()) message += '\n';
    message += line;
  }
  throw DatabaseError(message, sqlcode(status));
}

// --- Sqlda -------------------------------------------------------------------

Sqlda::Sqlda() { Reserve(1); }

bool Sqlda::Reserve(int n) {
  if (!header_.empty() && get()->sqln >= n) return false;
  header_.assign((XSQLDA_LENGTH(n) + sizeof(std::int64_t) - 1) / sizeof(std::int64_t), 0);
  get()->version = SQLDA_VERSION1;
  get()->sqln = static_cast<ISC_SHORT>(n);
  return true;
}

void Sqlda::AllocateBuffers() {
  XSQLDA* da = get();
  buffers_.assign(static_cast<std::size_t>(da->sqld), {});
  indicators_.assign(static_cast<std::size_t>(da->sqld), 0);
  for (int i = 0; i < da->sqld; ++i) {
    XSQLVAR& var = da->sqlvar[i];
    std::size_t bytes = static_cast<std::size_t>(var.sqllen) + 2;  // VARCHAR's length word
    buffers_[i].assign(bytes / sizeof(std::int64_t) + 1, 0);
    var.sqldata = reinterpret_cast<ISC_SCHAR*>(buffers_[i].data());
    var.sqlind = &indicators_[i];
    var.sqltype |= 1;  // always pass an indicator, NULL or not
  }
}

std::vector<Column> Sqlda::Columns() {
  std::vector<Column> columns;
  XSQLDA* da = get();
  for (int i = 0; i < da->sqld; ++i) {
    const XSQLVAR& var = da->sqlvar[i];
    columns.push_back({std::string(var.sqlname, static_cast<std::size_t>(var.sqlname_length)),
                       static_cast<short>(var.sqltype & ~1), var.sqlsubtype, var.sqlscale,
                       var.sqllen});
  }
  return columns;
}

Value Sqlda::Read(int index) {
  const XSQLVAR& var = get()->sqlvar[index];
  if (*var.sqlind < 0) return {};
  const char* data = var.sqldata;
  switch (var.sqltype & ~1) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
      if (var.sqlscale != 0) return Value::Other();
      std::int64_t v = 0;
      if ((var.sqltype & ~1) == SQL_SHORT) {
        std::int16_t s;
        std::memcpy(&s, data, sizeof s);
        v = s;
      } else if ((var.sqltype & ~1) == SQL_LONG) {
        std::int32_t l;
        std::memcpy(&l, data, sizeof l);
        v = l;
      } else {
        std::memcpy(&v, data, sizeof v);
      }
      return Value::Integer(v);
    }
    case SQL_TEXT:
      return Value::Text(std::string(data, static_cast<std::size_t>(var.sqllen)));
    case SQL_VARYING: {
      std::uint16_t length;
      std::memcpy(&length, data, sizeof length);
      return Value::Text(std::string(data + 2, length));
    }
    default:
      return Value::Other();
  }
}

void Sqlda::Write(int index, const Value& value) {
  XSQLVAR& var = get()->sqlvar[index];
  auto& buffer = buffers_[index];
  auto fit = [&](std::size_t bytes) {
    if (buffer.size() * sizeof(std::int64_t) < bytes)
      buffer.assign(bytes / sizeof(std::int64_t) + 1, 0);
    var.sqldata = reinterpret_cast<ISC_SCHAR*>(buffer.data());
  };
  *var.sqlind = 0;
  switch (value.kind) {
    case Value::Kind::kNull:
    case Value::Kind::kOther:
      *var.sqlind = -1;
      break;
    case Value::Kind::kInteger:
      var.sqltype = SQL_INT64 | 1;
      var.sqlscale = 0;
      var.sqllen = sizeof(std::int64_t);
      fit(sizeof(std::int64_t));
      std::memcpy(var.sqldata, &value.integer, sizeof value.integer);
      break;
    case Value::Kind::kText: {
      if (value.text.size() > 32767) throw DatabaseError("text too long for a parameter");
      // The text keeps the parameter's character set: the connection's.
      const short type = static_cast<short>(var.sqltype & ~1);
      if (type != SQL_TEXT && type != SQL_VARYING) var.sqlsubtype = 0;
      var.sqltype = SQL_TEXT | 1;
      var.sqllen = static_cast<ISC_SHORT>(value.text.size());
      fit(value.text.size());
      std::memcpy(var.sqldata, value.text.data(), value.text.size());
      break;
    }
    case Value::Kind::kDate: {
      // A timestamp at midnight converts to DATE and TIMESTAMP columns alike,
      // in both dialects.
      ISC_TIMESTAMP stamp{EncodeDate(value.date), 0};
      var.sqltype = SQL_TIMESTAMP | 1;
      var.sqllen = sizeof stamp;
      fit(sizeof stamp);
      std::memcpy(var.sqldata, &stamp, sizeof stamp);
      break;
    }
  }
}

// --- Statement ---------------------------------------------------------------

Statement::Statement(const ClientLibrary& client, isc_db_handle* db, isc_tr_handle* tr,
                     unsigned short dialect, std::string_view sql)
    : client_(client), tr_(tr), dialect_(dialect) {
  ISC_STATUS_ARRAY status;
  client_.dsql_alloc_statement2(status, db, &handle_);
  client_.Check(status);
  const std::string text(sql);
  client_.dsql_prepare(status, tr_, &handle_, 0, text.c_str(), dialect_, out_.get());
  client_.Check(status);
  if (out_.Reserve(out_.get()->sqld)) {
    client_.dsql_describe(status, &handle_, dialect_, out_.get());
    client_.Check(status);
  }
  client_.dsql_describe_bind(status, &handle_, dialect_, in_.get());
  client_.Check(status);
  if (in_.Reserve(in_.get()->sqld)) {
    client_.dsql_describe_bind(status, &handle_, dialect_, in_.get());
    client_.Check(status);
  }
  columns_ = out_.Columns();
  parameters_ = in_.Columns();
  out_.AllocateBuffers();
  in_.AllocateBuffers();
}

Statement::~Statement() {
  ISC_STATUS_ARRAY status;
  if (handle_) client_.dsql_free_statement(status, &handle_, DSQL_drop);
}

void Statement::Execute(const std::vector<Value>& parameters) {
  if (parameters.size() != parameters_.size())
    throw DatabaseError("statement expects " + std::to_string(parameters_.size()) +
                        " parameters, got " + std::to_string(parameters.size()));
  for (std::size_t i = 0; i < parameters.size(); ++i) in_.Write(static_cast<int>(i), parameters[i]);
  CloseCursor();
  ISC_STATUS_ARRAY status;
  client_.dsql_execute(status, tr_, &handle_, dialect_, parameters_.empty() ? nullptr : in_.get());
  client_.Check(status);
  cursor_open_ = !columns_.empty();
}

std::optional<std::vector<Value>> Statement::Fetch() {
  if (!cursor_open_) return std::nullopt;
  ISC_STATUS_ARRAY status;
  const ISC_STATUS result = client_.dsql_fetch(status, &handle_, dialect_, out_.get());
  if (result == 100) {
    CloseCursor();
    return std::nullopt;
  }
  client_.Check(status);
  std::vector<Value> row;
  for (int i = 0; i < static_cast<int>(columns_.size()); ++i) row.push_back(out_.Read(i));
  return row;
}

void Statement::CloseCursor() noexcept {
  if (!cursor_open_) return;
  ISC_STATUS_ARRAY status;
  client_.dsql_free_statement(status, &handle_, DSQL_close);
  cursor_open_ = false;
}

ISC_DATE EncodeDate(const Date& date) {
  // Days from the civil calendar (proleptic Gregorian), after H. Hinnant.
  const int y = date.year - (date.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int mp = (date.month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + date.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days_since_1970 = static_cast<long>(era) * 146097 + doe - 719468;
  return static_cast<ISC_DATE>(days_since_1970 + 40587);  // 1970-01-01 is day 40587
}

}  // namespace patlink
