#pragma once

#include <QDate>
#include <QString>

#include "app/uEngineerCodes.h"
#include "db/fbQuery.h"

// Staff barcodes. The scan buffer of the main screen asks BarcodeToUser first (through
// Tdm::BarcodeToUser): -2 opens tsEngineer, 0 is a product barcode, anything else opens
// tsManager. The age box (fm_Info) asks CheckAgeAuthority with the scanned code and shows
// "Invalid Operator" or "Insufficient Operator Access", or asks its question on
// oaAuthorised; the texts belong to the box.

// 0: not an operator (also an empty code, or any database error); a positive USER_ID: a known
// operator; -1 / -2: the engineer codes the kiosk accepts (uEngineerCodes.h; the built-in ones
// unless given others). access receives the operator's ACCESS text (20 "Y" for -1, empty for
// -2 and 0). Codes compare exactly: case and every space count.
int BarcodeToUser(fb::Query& q, const TEngineerCodes& codes, const QString& code, QString& access);
int BarcodeToUser(fb::Query& q, const QString& code, QString& access);
int BarcodeToUser(fb::Query& q, const QString& code);

// What a staff scan in the age box may do.
enum TOperatorAuthority {
    oaInvalid,       // not an operator: "Invalid Operator"
    oaInsufficient,  // an operator without the age right: "Insufficient Operator Access"
    oaUnderAge,      // an operator with the right but younger than 18 by their date of birth
    oaAuthorised     // may confirm the customer's age
};

// The age of staff who may confirm a customer's age.
inline constexpr int kMinimumStaffAge = 18;

// A scanned staff card and what it may do in the age box.
struct TStaffAuthority {
    TOperatorAuthority authority = oaInvalid;
    int user = 0;  // BarcodeToUser's result
};

// The age right is the second character of ACCESS being "Y"; the first built-in code has it.
// An operator whose date of birth makes them younger than 18 on today is refused; an unknown
// date of birth refuses nobody.
TOperatorAuthority AgeAuthority(int user, const QString& access, const QDate& dob = {},
                                const QDate& today = {});
// The card's authority on today (the installed clock's date when invalid).
TStaffAuthority CheckAgeAuthority(fb::Query& q, const TEngineerCodes& codes, const QString& code,
                                  QDate today = {});
TStaffAuthority CheckAgeAuthority(fb::Query& q, const QString& code, QDate today = {});
