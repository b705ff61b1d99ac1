#pragma once

#include <QString>

#include "db/fbQuery.h"

// Staff barcodes. The scan buffer of the main screen asks BarcodeToUser first (through
// Tdm::BarcodeToUser): -2 opens tsEngineer, 0 is a product barcode, anything else opens
// tsManager. The age box (fm_Info) asks CheckAgeAuthority with the scanned code and shows
// "Invalid Operator" or "Insufficient Operator Access", or asks its question on
// oaAuthorised; the texts belong to the box.

// The two codes built into the program; they need no row in TBL_USERS.
inline constexpr const char* kEngineerCode = "4b17e2c9a05d";       // -1: all rights, manager page
inline constexpr const char* kEngineerSetupCode = "e83a5f1c6b27";  // -2: no rights, engineer page

// 0: not an operator (also an empty code, or any database error); a positive USER_ID: a known
// operator; -1 / -2: the built-in codes. access receives the operator's ACCESS text (20 "Y"
// for -1, empty for -2 and 0). Codes compare exactly: case and every space count.
int BarcodeToUser(fb::Query& q, const QString& code, QString& access);
int BarcodeToUser(fb::Query& q, const QString& code);

// What a staff scan in the age box may do.
enum TOperatorAuthority {
    oaInvalid,       // not an operator: "Invalid Operator"
    oaInsufficient,  // an operator without the age right: "Insufficient Operator Access"
    oaAuthorised     // may confirm the customer's age
};

// The age right is the second character of ACCESS being "Y"; the first built-in code has it.
TOperatorAuthority AgeAuthority(int user, const QString& access);
TOperatorAuthority CheckAgeAuthority(fb::Query& q, const QString& code);
