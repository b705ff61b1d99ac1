#include "db/fbError.h"

#include <algorithm>

namespace fb {

namespace {

// Reads the codes of a status vector: pairs of (argument kind, value) ending in isc_arg_end.
std::vector<intptr_t> errorCodes(const intptr_t* vector) {
    std::vector<intptr_t> codes;
    for (const intptr_t* p = vector; p && *p != isc_arg_end; p += 2) {
        if (*p == isc_arg_gds) codes.push_back(p[1]);
    }
    return codes;
}

}  // namespace

Firebird::IMaster* master() {
    static Firebird::IMaster* instance = Firebird::fb_get_master_interface();
    return instance;
}

Error::Error(const QString& message, std::vector<intptr_t> codes, std::string sqlState)
    : std::runtime_error(message.toStdString()),
      codes_(std::move(codes)),
      sqlState_(std::move(sqlState)) {}

bool Error::isEngineUnavailable() const {
    return std::find(codes_.begin(), codes_.end(), isc_unavailable) != codes_.end();
}

Status::Status() : status_(master()->getStatus()), wrapper_(status_) {}

Status::~Status() {
    status_->dispose();
}

bool Status::failed() const {
    return (const_cast<Firebird::CheckStatusWrapper&>(wrapper_).getState() &
            Firebird::IStatus::STATE_ERRORS) != 0;
}

void Status::check() {
    if (!failed()) return;
    char text[4096];
    master()->getUtilInterface()->formatStatus(text, sizeof text, &wrapper_);
    const intptr_t* vector = wrapper_.getErrors();
    char state[FB_SQLSTATE_SIZE] = {};
    fb_sqlstate(state, vector);
    Error error(QString::fromUtf8(text).trimmed(), errorCodes(vector), state);
    wrapper_.clearException();
    throw error;
}

}  // namespace fb
