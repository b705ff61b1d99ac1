#pragma once

#include <QDateTime>

#include "db/fbQuery.h"

// Sales restrictions asked before a product joins the sale. AddProductToSale (uSale.h) runs
// the check on the data module's first query and, by its result, shows the controlled-product
// box, the time-restricted box or the age box (fm_Info); the screen itself never calls it.

enum TRestrictionType { rsNone = 0, rsControlled = 1, rsTime = 2, rsAge = 3 };

struct TRestrictionResult {
    TRestrictionType type = rsNone;
    int value = 0;  // the limit for rsControlled, the age for rsAge, else 0
};

// First match wins: a broken quantity limit, then trading hours, then a minimum age.
// salesId below 1 means no sale yet (no earlier controlled items). Database errors propagate.
TRestrictionResult CheckSalesRestrictions(fb::Query& q, int sid, qint64 salesId, double quantity,
                                          const QDateTime& now);
