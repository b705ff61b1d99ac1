#pragma once

#include <QString>
#include <stdexcept>
#include <string>
#include <vector>

#include <firebird/Interface.h>

namespace fb {

// A database error. The message is the engine's own text; the codes stay available so a
// caller can tell, say, a lock conflict from a lost connection.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message, std::vector<intptr_t> codes = {},
                   std::string sqlState = {});

    QString message() const { return QString::fromUtf8(what()); }
    const std::vector<intptr_t>& codes() const { return codes_; }
    const std::string& sqlState() const { return sqlState_; }
    // The client library found no engine to open a database file with.
    bool isEngineUnavailable() const;

private:
    std::vector<intptr_t> codes_;
    std::string sqlState_;
};

// A status vector that turns a failed call into an fb::Error.
class Status {
public:
    Status();
    ~Status();
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::CheckStatusWrapper* operator&() { return &wrapper_; }
    // Throws when the last call failed.
    void check();
    bool failed() const;
    void clear() { wrapper_.clearException(); }

private:
    Firebird::IStatus* status_;
    Firebird::CheckStatusWrapper wrapper_;
};

Firebird::IMaster* master();

}  // namespace fb
