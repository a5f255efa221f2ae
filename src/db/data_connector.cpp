#include "db/data_connector.h"

namespace kyt::db {

namespace {
constexpr const char* kProvider = "Kyt.SQLite";
}

DataConnector::~DataConnector()
{
    if (IsConnected) {
        if (InTransaction)
            RollBackTransaction();
        CloseConnection();
    }
}

bool DataConnector::GetConnectStatus() const
{
    return IsConnected;
}

void DataConnector::CloseConnection()
{
    if (!IsConnected)
        return;
    cn.reset();  // an open transaction is rolled back, never committed
    IsConnected = false;
    InTransaction = false;
    beginFailed = false;
}

int16_t DataConnector::ConnectToDataBase(const std::string& User, const std::string& /*Password*/,
                                         const std::string& Server)
{
    SourcePath = Server;
    const std::string connectString = std::string("Provider=") + kProvider + ";" + "Data Source=" + SourcePath;
    Failure failure;
    std::unique_ptr<Database> opened = Database::open(SourcePath, Road::Connector, failure);
    if (!opened) {
        ErrNo = failure.number;
        ErrDesc = failure.description;
        return 0;
    }
    cn = std::move(opened);
    InTransaction = false;
    beginFailed = false;
    cn_ConnectComplete(true);
    if (!IsConnected)
        return 0;
    ConnectString = connectString;
    UserName = User;
    return 2;
}

std::string DataConnector::getCurrentConnectString() const
{
    return ConnectString;
}

void DataConnector::BeginTransaction()
{
    if (InTransaction || !cn)
        return;
    Failure failure;
    if (cn->begin(failure)) {
        InTransaction = true;
        beginFailed = false;
    } else {
        beginFailed = true;
        record(failure);
        beginErrNo = failure.number;
        beginErrDesc = failure.description;
    }
}

void DataConnector::EndTransaction()
{
    commitFailed = beginFailed;
    beginFailed = false;
    if (InTransaction && cn) {
        Failure failure;
        if (!cn->inTransaction()) {
            // The engine already rolled back after a lock, full disk or I/O failure.
            commitFailed = true;
            record({kErrOther, "The transaction was rolled back after an earlier failure; nothing was saved.", true});
        } else if (!cn->commit(failure)) {
            commitFailed = true;
            record(failure);
        }
    }
    InTransaction = false;
}

void DataConnector::RollBackTransaction()
{
    beginFailed = false;
    Failure failure;
    if (InTransaction && cn) {
        if (cn->rollback(failure))
            InTransaction = false;
    }
    ErrNo = failure.number;
    ErrDesc = failure.description;
}

Database* DataConnector::GetCurrentConnection()
{
    return cn.get();
}

int32_t DataConnector::exec(std::string_view s)
{
    if (!cn) {
        ErrNo = kErrOther;
        ErrDesc = "The database is not connected.";
        return ErrNo;
    }
    if (beginFailed) {
        ErrNo = beginErrNo;
        ErrDesc = beginErrDesc;
        return ErrNo;
    }
    Failure failure;
    if (cn->exec(s, failure))
        return kSuccess;
    record(failure);
    return ErrNo;
}

void DataConnector::record(const Failure& failure)
{
    ErrNo = failure.number;
    ErrDesc = failure.description;
    failedStatement = failure.statement;
    NoteReadFailure(failure);
}

void DataConnector::NoteReadFailure(const Failure& failure)
{
    if (failure.environment && environmentFailure.empty())
        environmentFailure = failure.description;
}

std::string DataConnector::GetSource() const
{
    return SourcePath;
}

void DataConnector::cn_ConnectComplete(bool statusOk)
{
    IsConnected = statusOk;
}

}  // namespace kyt::db
