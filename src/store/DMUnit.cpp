#include "store/DMUnit.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <utility>

namespace patlink {

namespace {

// Connection and transaction parameters by the names the definition uses.
constexpr std::pair<std::string_view, char> kConnectionParameterCodes[] = {
    {"user_name", isc_dpb_user_name},
    {"lc_ctype", isc_dpb_lc_ctype},
    {"password", isc_dpb_password},
};
constexpr std::pair<std::string_view, char> kTransactionParameterCodes[] = {
    {"read_committed", isc_tpb_read_committed},
    {"rec_version", isc_tpb_rec_version},
    {"nowait", isc_tpb_nowait},
};

template <std::size_t N>
char ParameterCode(const std::pair<std::string_view, char> (&codes)[N], std::string_view name) {
  for (const auto& [known, code] : codes)
    if (known == name) return code;
  throw DatabaseError("Unknown parameter " + std::string(name));
}

constexpr char kCatalogueSql[] =
    "SELECT RF.RDB$FIELD_NAME,"
    " IIF(RF.RDB$NULL_FLAG = 1 OR F.RDB$NULL_FLAG = 1, 1, 0),"
    " IIF(RF.RDB$DEFAULT_VALUE IS NULL, 0, 1),"
    " IIF(F.RDB$DEFAULT_VALUE IS NULL, 0, 1),"
    " IIF(F.RDB$COMPUTED_BLR IS NULL, 0, 1)"
    " FROM RDB$RELATION_FIELDS RF"
    " JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
    " WHERE RF.RDB$RELATION_NAME = ?";

constexpr long kNoPermission = -551;

std::string TrimTrailing(std::string text, unsigned char below) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) < below) text.pop_back();
  return text;
}

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Replaces each :NAME parameter outside quotes with "?", collecting the names.
std::string PositionalParameters(std::string_view sql, std::vector<std::string>& names) {
  std::string text;
  char quote = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ':' && i + 1 < sql.size() &&
               (std::isalpha(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '_')) {
      std::size_t end = i + 1;
      while (end < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[end])) ||
                                  sql[end] == '_' || sql[end] == '$'))
        ++end;
      names.emplace_back(sql.substr(i + 1, end - i - 1));
      text += '?';
      i = end - 1;
      continue;
    }
    text += c;
  }
  return text;
}

}  // namespace

// --- TIBDatabase -------------------------------------------------------------

TIBDatabase::TIBDatabase(const ClientLibrary& client, const StoreDefinition& definition)
    : client_(client),
      definition_(definition),
      database_name_(definition.database_name),
      dialect_(definition.sql_dialect) {}

TIBDatabase::~TIBDatabase() { Close(); }

void TIBDatabase::Open() {
  if (Connected()) return;
  std::string dpb(1, isc_dpb_version1);
  for (std::string_view parameter : definition_.connection_parameters) {
    const auto equals = parameter.find('=');
    const std::string_view value = parameter.substr(equals + 1);
    dpb += ParameterCode(kConnectionParameterCodes, parameter.substr(0, equals));
    dpb += static_cast<char>(value.size());
    dpb += value;
  }
  ISC_STATUS_ARRAY status;
  client_.attach_database(status, static_cast<short>(database_name_.size()),
                          database_name_.c_str(), &handle_, static_cast<short>(dpb.size()),
                          dpb.data());
  client_.Check(status);

  const char items[] = {isc_info_db_sql_dialect, isc_info_end};
  char info[32] = {};
  client_.database_info(status, &handle_, sizeof items, items, sizeof info, info);
  client_.Check(status);
  unsigned short database_dialect = 1;  // old databases do not report it
  if (info[0] == isc_info_db_sql_dialect) {
    const short length = static_cast<short>(client_.vax_integer(info + 1, 2));
    database_dialect = static_cast<unsigned short>(client_.vax_integer(info + 3, length));
  }
  dialect_ = std::min(definition_.sql_dialect, database_dialect);
}

void TIBDatabase::Close() noexcept {
  if (!handle_) return;
  ISC_STATUS_ARRAY status;
  client_.detach_database(status, &handle_);
  handle_ = 0;
}

// --- TIBTransaction ----------------------------------------------------------

TIBTransaction::TIBTransaction(const ClientLibrary& client, const StoreDefinition& definition,
                               TIBDatabase& database)
    : client_(client), definition_(definition), database_(database) {}

TIBTransaction::~TIBTransaction() { Release(); }

void TIBTransaction::StartTransaction() {
  if (InTransaction()) throw DatabaseError("Transaction is active");
  if (!database_.Connected()) throw DatabaseError("Database not open");
  std::string tpb(1, isc_tpb_version3);
  for (std::string_view parameter : definition_.transaction_parameters)
    tpb += ParameterCode(kTransactionParameterCodes, parameter);
  // The transaction existence block of isc_start_multiple.
  struct {
    isc_db_handle* database;
    int tpb_length;
    const char* tpb;
  } teb{database_.handle(), static_cast<int>(tpb.size()), tpb.data()};
  ISC_STATUS_ARRAY status;
  client_.start_multiple(status, &handle_, 1, &teb);
  client_.Check(status);
}

void TIBTransaction::Commit() { End(client_.commit_transaction); }

void TIBTransaction::Rollback() { End(client_.rollback_transaction); }

void TIBTransaction::End(decltype(&isc_commit_transaction) end) {
  if (!InTransaction()) throw DatabaseError("Transaction is not active");
  if (dataset_) dataset_->Close();
  ISC_STATUS_ARRAY status;
  end(status, &handle_);
  client_.Check(status);
}

void TIBTransaction::Release() noexcept {
  if (!InTransaction()) return;
  if (dataset_) dataset_->Close();
  ISC_STATUS_ARRAY status;
  client_.commit_transaction(status, &handle_);
  if (handle_) client_.rollback_transaction(status, &handle_);
  handle_ = 0;
}

// --- TIBDataSet --------------------------------------------------------------

TIBDataSet::TIBDataSet(const ClientLibrary& client, const StoreDefinition& definition,
                       TIBDatabase& database, TIBTransaction& transaction)
    : client_(client), definition_(definition), database_(database), transaction_(transaction) {
  transaction_.CloseWhenEnding(this);
}

TIBDataSet::~TIBDataSet() {
  Close();
  transaction_.CloseWhenEnding(nullptr);
}

std::unique_ptr<Statement> TIBDataSet::Prepare(std::string_view sql) {
  return std::make_unique<Statement>(client_, database_.handle(), transaction_.handle(),
                                     database_.SQLDialect(), sql);
}

std::optional<TIBDataSet::NamedStatement> TIBDataSet::PrepareNamed(std::string_view sql) {
  NamedStatement named;
  const std::string text = PositionalParameters(sql, named.names);
  try {
    named.statement = Prepare(text);
  } catch (const DatabaseError& error) {
    // A statement the user may not run leaves the dataset usable without it.
    if (error.sqlcode() == kNoPermission) return std::nullopt;
    throw;
  }
  return named;
}

void TIBDataSet::Open() {
  if (Active()) return;
  if (!transaction_.InTransaction()) transaction_.StartTransaction();
  // The select is only described, never run: rows are located on the server.
  fields_.clear();
  const auto select = Prepare(definition_.select_sql);
  for (const Column& column : select->Columns()) fields_.push_back({column});
  ReadCatalogue();
  insert_ = PrepareNamed(definition_.insert_sql);
  refresh_ = PrepareNamed(definition_.refresh_sql);
  modify_ = PrepareNamed(definition_.modify_sql);
  delete_ = PrepareNamed(definition_.delete_sql);
  record_.clear();
  has_record_ = false;
  state_ = State::kBrowsing;
}

void TIBDataSet::ReadCatalogue() {
  auto catalogue = Prepare(kCatalogueSql);
  catalogue->Execute({Value::Text(std::string(definition_.table))});
  while (auto row = catalogue->Fetch()) {
    const std::string name = WithoutTrailingBlanks((*row)[0].text);
    for (Field& field : fields_) {
      if (field.column.name != name) continue;
      field.not_null = (*row)[1].integer != 0;
      field.has_default = (*row)[2].integer != 0;
      field.domain_has_default = (*row)[3].integer != 0;
      field.computed = (*row)[4].integer != 0;
    }
  }
}

void TIBDataSet::Close() noexcept {
  insert_.reset();
  refresh_.reset();
  modify_.reset();
  delete_.reset();
  record_.clear();
  has_record_ = false;
  state_ = State::kClosed;
}

std::size_t TIBDataSet::FieldIndex(std::string_view column) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].column.name == column) return i;
  throw DatabaseError("Field '" + std::string(column) + "' not found");
}

bool TIBDataSet::Matches(const Field& field, const Value& stored, const Value& sought) const {
  if (stored.is_null() || stored.kind != sought.kind) return false;
  if (stored.kind == Value::Kind::kInteger) return stored.integer == sought.integer;
  if (stored.kind != Value::Kind::kText) return false;
  std::string a = stored.text;
  std::string b = sought.text;
  // A fixed-width column pads with blanks: they carry no meaning there.
  if (field.column.sqltype == SQL_TEXT) {
    a = WithoutTrailingBlanks(std::move(a));
    b = WithoutTrailingBlanks(std::move(b));
  }
  if (definition_.trim_compared_texts) {
    a = TrimTrailing(std::move(a), 33);
    b = TrimTrailing(std::move(b), 33);
  }
  return a == b;
}

bool TIBDataSet::Locate(std::string_view column, const Value& value) {
  if (state_ != State::kBrowsing) throw DatabaseError("Dataset not in browse mode");
  const std::size_t index = FieldIndex(column);
  Value bound = value;
  if (bound.kind == Value::Kind::kText && definition_.trim_compared_texts)
    bound.text = TrimTrailing(bound.text, 33);
  // The column name comes from the program, never from input; the value is bound.
  std::string sql(definition_.locate_sql);
  sql.replace(sql.find("%s"), 2, column);
  auto statement = Prepare(sql);
  statement->Execute({bound});
  while (auto row = statement->Fetch()) {
    if (Matches(fields_[index], (*row)[index], value)) {
      statement->CloseCursor();
      record_ = std::move(*row);
      has_record_ = true;
      return true;
    }
  }
  return false;
}

std::int32_t TIBDataSet::FieldAsInteger(std::string_view column) const {
  if (!has_record_) throw DatabaseError("Dataset has no current record");
  const Value& value = record_[FieldIndex(column)];
  if (value.is_null()) return 0;
  if (value.kind != Value::Kind::kInteger || value.integer < std::numeric_limits<std::int32_t>::min() ||
      value.integer > std::numeric_limits<std::int32_t>::max())
    throw DatabaseError("Field '" + std::string(column) + "' is not a 32-bit integer");
  return static_cast<std::int32_t>(value.integer);
}

int TIBDataSet::FieldWidth(std::string_view column) const {
  const Column& c = fields_[FieldIndex(column)].column;
  if (c.sqltype != SQL_TEXT && c.sqltype != SQL_VARYING)
    throw DatabaseError("Field '" + std::string(column) + "' is not a text");
  return c.length;
}

std::int64_t TIBDataSet::NextGeneratorValue() {
  // Quoted under dialect 3; bare and upper-cased under dialect 1.
  std::string name(definition_.generator_name);
  if (database_.SQLDialect() >= 3) {
    name.insert(name.begin(), '"');
    name.push_back('"');
  } else {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  char sql[256];
  std::snprintf(sql, sizeof sql, "SELECT GEN_ID(%s, %d) FROM RDB$DATABASE", name.c_str(),
                definition_.generator_increment);
  auto statement = Prepare(sql);
  statement->Execute({});
  auto row = statement->Fetch();
  if (!row || (*row)[0].kind != Value::Kind::kInteger)
    throw DatabaseError("Generator " + std::string(definition_.generator_name) + " gave no value");
  return (*row)[0].integer;
}

void TIBDataSet::Append() {
  if (state_ != State::kBrowsing) throw DatabaseError("Dataset not in browse mode");
  if (!insert_) throw DatabaseError("Cannot insert into dataset. (No insert query)");
  record_.assign(fields_.size(), Value{});
  has_record_ = true;
  state_ = State::kInserting;
  Value& id = record_[FieldIndex(definition_.generator_field)];
  if (id.is_null()) id = Value::Integer(NextGeneratorValue());
}

void TIBDataSet::SetFieldAsText(std::string_view column, std::string_view text) {
  if (state_ != State::kInserting) throw DatabaseError("Dataset not in edit or insert mode");
  const std::size_t width = static_cast<std::size_t>(FieldWidth(column));
  record_[FieldIndex(column)] = Value::Text(std::string(text.substr(0, width)));
}

void TIBDataSet::SetFieldAsDate(std::string_view column, const Date& date) {
  if (state_ != State::kInserting) throw DatabaseError("Dataset not in edit or insert mode");
  record_[FieldIndex(column)] = Value::DateValue(date);
}

bool TIBDataSet::NeedsRefresh() const {
  return std::any_of(fields_.begin(), fields_.end(), [&](const Field& f) {
    if (f.computed) return true;
    if (definition_.refresh_when == RefreshWhen::kComputedOrDefaultColumn)
      return f.has_default || f.domain_has_default;
    return !f.domain_has_default;
  });
}

void TIBDataSet::Post() {
  if (state_ != State::kInserting) throw DatabaseError("Dataset not in edit or insert mode");
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const Field& f = fields_[i];
    const bool has_default = f.has_default || f.domain_has_default;
    if (f.not_null && !f.computed && record_[i].is_null() &&
        (definition_.not_null_counts_with_default || !has_default))
      throw DatabaseError("Field '" + f.column.name + "' must have a value");
  }
  auto bind = [&](const std::vector<std::string>& names) {
    std::vector<Value> values;
    for (const std::string& name : names) {
      const auto it = std::find_if(fields_.begin(), fields_.end(),
                                   [&](const Field& f) { return f.column.name == name; });
      values.push_back(it == fields_.end() ? Value{} : record_[it - fields_.begin()]);
    }
    return values;
  };
  insert_->statement->Execute(bind(insert_->names));
  if (refresh_ && NeedsRefresh()) {
    refresh_->statement->Execute(bind(refresh_->names));
    if (auto row = refresh_->statement->Fetch()) {
      const auto& columns = refresh_->statement->Columns();
      for (std::size_t c = 0; c < columns.size(); ++c)
        for (std::size_t i = 0; i < fields_.size(); ++i)
          if (fields_[i].column.name == columns[c].name) record_[i] = (*row)[c];
      refresh_->statement->CloseCursor();
    }
  }
  state_ = State::kBrowsing;
}

// --- TDM ---------------------------------------------------------------------

TDM::TDM(const StoreDefinition& definition)
    : IBDatabase(client_, definition),
      IBTransaction(client_, definition, IBDatabase),
      PatientsIBDataSet(client_, definition, IBDatabase, IBTransaction) {}

TDM::~TDM() {
  PatientsIBDataSet.Close();
  IBTransaction.Release();
  IBDatabase.Close();
}

}  // namespace patlink
