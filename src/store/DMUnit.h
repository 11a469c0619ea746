// The patient store: the data module TDM with its connection, transaction
// and patient dataset, made from a StoreDefinition.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/database_error.h"
#include "store/fb_client.h"
#include "store/store_definition.h"

namespace patlink {

class TIBDataSet;

class TIBDatabase {
 public:
  TIBDatabase(const ClientLibrary& client, const StoreDefinition& definition);
  ~TIBDatabase();
  TIBDatabase(const TIBDatabase&) = delete;
  TIBDatabase& operator=(const TIBDatabase&) = delete;

  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(std::string name) { database_name_ = std::move(name); }
  void Open();
  bool Connected() const { return handle_ != 0; }
  // Detaches; never throws.
  void Close() noexcept;
  // The dialect in use: the stored one, lowered to the database's own.
  unsigned short SQLDialect() const { return dialect_; }
  isc_db_handle* handle() { return &handle_; }

 private:
  const ClientLibrary& client_;
  const StoreDefinition& definition_;
  std::string database_name_;
  isc_db_handle handle_ = 0;
  unsigned short dialect_;
};

class TIBTransaction {
 public:
  TIBTransaction(const ClientLibrary& client, const StoreDefinition& definition,
                 TIBDatabase& database);
  ~TIBTransaction();
  TIBTransaction(const TIBTransaction&) = delete;
  TIBTransaction& operator=(const TIBTransaction&) = delete;

  void StartTransaction();
  bool InTransaction() const { return handle_ != 0; }
  void Commit();
  // Throws "Transaction is not active" when there is none.
  void Rollback();
  // Commits an active transaction, as the store does on release; never throws.
  void Release() noexcept;
  isc_tr_handle* handle() { return &handle_; }

  // The dataset to close before the transaction ends.
  void CloseWhenEnding(TIBDataSet* dataset) { dataset_ = dataset; }

 private:
  // Closes the dataset, then commits or rolls back.
  void End(decltype(&isc_commit_transaction) end);

  const ClientLibrary& client_;
  const StoreDefinition& definition_;
  TIBDatabase& database_;
  isc_tr_handle handle_ = 0;
  TIBDataSet* dataset_ = nullptr;
};

class TIBDataSet {
 public:
  TIBDataSet(const ClientLibrary& client, const StoreDefinition& definition,
             TIBDatabase& database, TIBTransaction& transaction);
  ~TIBDataSet();
  TIBDataSet(const TIBDataSet&) = delete;
  TIBDataSet& operator=(const TIBDataSet&) = delete;

  // Starts the transaction if needed, prepares the statements and reads from
  // the catalogue which columns are NOT NULL, have defaults or are computed.
  void Open();
  bool Active() const { return state_ != State::kClosed; }
  // Frees the statements; never throws.
  void Close() noexcept;

  // Makes the first row, in LAST_NAME order, whose column equals the value
  // the current one. False, with the current row kept, when there is none.
  bool Locate(std::string_view column, const Value& value);
  std::int32_t FieldAsInteger(std::string_view column) const;
  // The width of a text column in characters.
  int FieldWidth(std::string_view column) const;

  // Begins a new record that takes its ID from the generator at once.
  void Append();
  // Sets a text, cut to the column's width.
  void SetFieldAsText(std::string_view column, std::string_view text);
  void SetFieldAsDate(std::string_view column, const Date& date);
  // Inserts the appended record.
  void Post();

 private:
  struct Field {
    Column column;
    bool not_null = false;
    bool has_default = false;
    bool domain_has_default = false;
    bool computed = false;
  };
  enum class State { kClosed, kBrowsing, kInserting };

  std::size_t FieldIndex(std::string_view column) const;
  void ReadCatalogue();
  std::unique_ptr<Statement> Prepare(std::string_view sql);
  // A prepared statement with :NAME parameters, and their names in order.
  struct NamedStatement {
    std::unique_ptr<Statement> statement;
    std::vector<std::string> names;
  };
  std::optional<NamedStatement> PrepareNamed(std::string_view sql);
  bool Matches(const Field& field, const Value& stored, const Value& sought) const;
  bool NeedsRefresh() const;
  std::int64_t NextGeneratorValue();

  const ClientLibrary& client_;
  const StoreDefinition& definition_;
  TIBDatabase& database_;
  TIBTransaction& transaction_;
  State state_ = State::kClosed;
  std::vector<Field> fields_;
  std::optional<NamedStatement> insert_;
  std::optional<NamedStatement> refresh_;
  std::optional<NamedStatement> modify_;
  std::optional<NamedStatement> delete_;
  std::vector<Value> record_;
  bool has_record_ = false;
};

// The data module: owns the client library and the three components.
class TDM {
 public:
  // Loads the client library; throws DatabaseError when it cannot.
  explicit TDM(const StoreDefinition& definition);
  // Closes the dataset, commits an active transaction, disconnects; never throws.
  ~TDM();
  TDM(const TDM&) = delete;
  TDM& operator=(const TDM&) = delete;

 private:
  ClientLibrary client_;

 public:
  TIBDatabase IBDatabase;
  TIBTransaction IBTransaction;
  TIBDataSet PatientsIBDataSet;
};

}  // namespace patlink
