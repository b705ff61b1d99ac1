#include "sale/uAgeChecks.h"

QString AgeOutcomeText(TAgeOutcome outcome) {
    switch (outcome) {
        case TAgeOutcome::Confirmed:
            return QStringLiteral("CONFIRMED");
        case TAgeOutcome::Refused:
            return QStringLiteral("REFUSED");
        case TAgeOutcome::Abandoned:
            break;
    }
    return QStringLiteral("ABANDONED");
}

std::optional<TAgeConfirmation> TAgeChecks::ConfirmationFor(qint64 salesId, int age) {
    if (salesId < 1) return std::nullopt;
    q_.close();
    q_.setSQL(QStringLiteral(
        "select first 1 AGE_CHECK_ID, REQUIRED_AGE, USER_ID from TBL_AGE_CHECKS\r\n"
        " where SALES_ID = :SID and OUTCOME = 'CONFIRMED' and CONFIRMATION_ID is null\r\n"
        "   and REQUIRED_AGE >= :AGE\r\n"
        " order by REQUIRED_AGE desc, AGE_CHECK_ID"));
    q_.bind(QStringLiteral("SID"), salesId).bind(QStringLiteral("AGE"), age);
    q_.open();
    std::optional<TAgeConfirmation> confirmation;
    if (!q_.eof())
        confirmation =
            TAgeConfirmation{q_.field(0).toInt64(), q_.field(1).toInt(), q_.field(2).toInt()};
    q_.close();
    return confirmation;
}

qint64 TAgeChecks::Record(const TAgeCheckRecord& record) {
    const auto nullBelow1 = [](qint64 value) { return value > 0 ? fb::Value(value) : fb::Value(); };
    q_.close();
    q_.setSQL(QStringLiteral(
        "insert into TBL_AGE_CHECKS\r\n"
        " (SALES_ID, SID, REQUIRED_AGE, USER_ID, CHECK_TIME, OUTCOME, CONFIRMATION_ID) values\r\n"
        " (:SALES_ID, :SID, :AGE, :USER_ID, :TIM, :OUTCOME, :CONF)\r\n"
        " returning AGE_CHECK_ID"));
    q_.bind(QStringLiteral("SALES_ID"), nullBelow1(record.salesId));
    q_.bind(QStringLiteral("SID"), record.sid).bind(QStringLiteral("AGE"), record.age);
    // The engineer card's -1 is a staff member too; only "nobody" is stored as null.
    q_.bind(QStringLiteral("USER_ID"),
            record.check.userId != 0 ? fb::Value(record.check.userId) : fb::Value());
    q_.bind(QStringLiteral("TIM"), record.time);
    q_.bind(QStringLiteral("OUTCOME"), AgeOutcomeText(record.check.outcome));
    q_.bind(QStringLiteral("CONF"), nullBelow1(record.confirmationId));
    q_.open();
    const qint64 id = q_.field(0).toInt64();
    q_.close();
    return id;
}
