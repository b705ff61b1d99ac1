#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "db/fbQuery.h"

// The record of every age check (TBL_AGE_CHECKS): which product of which sale needed what age,
// the member of staff whose card confirmed or refused it, when, and how it ended. The day-end
// export hands the records to the back office for its refusals register.

enum class TAgeOutcome { Confirmed, Refused, Abandoned };

// CONFIRMED, REFUSED or ABANDONED, as the table and the export file hold it.
QString AgeOutcomeText(TAgeOutcome outcome);

// How the age box ended.
struct TAgeCheck {
    TAgeOutcome outcome = TAgeOutcome::Abandoned;
    int userId = 0;  // the staff card's USER_ID, -1 for the built-in engineer card; 0: none
};

// A staff confirmation that stands for the rest of its sale.
struct TAgeConfirmation {
    qint64 checkId = 0;
    int age = 0;
    int userId = 0;
};

struct TAgeCheckRecord {
    qint64 salesId = 0;  // 0 or less: no sale yet (stored as null)
    int sid = 0;
    int age = 0;
    TAgeCheck check;
    QDateTime time;
    qint64 confirmationId = 0;  // the check this one stands on; 0 for staff's own answer
};

class TAgeChecks {
public:
    explicit TAgeChecks(fb::Query& q) : q_(q) {}

    // The confirmation of the sale that covers the age: the highest age staff confirmed, when
    // it is at least age. Nothing for a sale below 1.
    std::optional<TAgeConfirmation> ConfirmationFor(qint64 salesId, int age);

    // Writes one record; returns its AGE_CHECK_ID.
    qint64 Record(const TAgeCheckRecord& record);

private:
    fb::Query& q_;
};
