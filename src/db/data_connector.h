#pragma once
// The one object through which the program writes to its database. exec returns -13 on success,
// otherwise the engine's native error number; one transaction at a time, never nested.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "db/database.h"

namespace kyt::db {

class DataConnector {
public:
    static constexpr int32_t kSuccess = -13;

    DataConnector() = default;
    ~DataConnector();  // rolls back an open transaction, then closes
    DataConnector(const DataConnector&) = delete;
    DataConnector& operator=(const DataConnector&) = delete;

    std::string UserName;
    std::string ErrDesc;
    int32_t ErrNo = 0;

    bool GetConnectStatus() const;
    void CloseConnection();
    int16_t ConnectToDataBase(const std::string& User, const std::string& Password,
                              const std::string& Server = {});
    std::string getCurrentConnectString() const;
    void BeginTransaction();
    // A commit that fails is rolled back (never left pending to ride along with later work); ErrNo and
    // ErrDesc then tell why and CommitFailed() is true until the next EndTransaction.
    void EndTransaction();
    bool CommitFailed() const { return commitFailed; }
    void RollBackTransaction();
    // The latest failure that lies with the surroundings rather than the statement (Failure::environment):
    // its description, kept (a rollback does not clear it) until ClearEnvironmentFailure. Empty when none.
    const std::string& EnvironmentFailure() const { return environmentFailure; }
    void ClearEnvironmentFailure() { environmentFailure.clear(); }
    // A failure met reading through GetCurrentConnection(): one that lies with the surroundings becomes
    // EnvironmentFailure() as a failed exec's would. ErrNo and ErrDesc are left as they are.
    void NoteReadFailure(const Failure& failure);
    // The statement a failure reported at the commit belongs to, when the engine sent writes ahead of
    // their answers (a server); empty otherwise.
    const std::string& FailedStatement() const { return failedStatement; }
    Database* GetCurrentConnection();
    int32_t exec(std::string_view s);
    std::string GetSource() const;

private:
    void cn_ConnectComplete(bool statusOk);
    void record(const Failure& failure);

    std::string SourcePath;
    bool IsConnected = false;
    std::string ConnectString;
    bool InTransaction = false;
    std::unique_ptr<Database> cn;
    bool commitFailed = false;
    // A begin that failed (the database locked elsewhere) keeps its failure until the caller ends or
    // rolls back, so that the writes meant for the transaction do not run one by one outside it.
    bool beginFailed = false;
    int32_t beginErrNo = 0;
    std::string beginErrDesc;
    std::string environmentFailure;
    std::string failedStatement;
};

}  // namespace kyt::db
