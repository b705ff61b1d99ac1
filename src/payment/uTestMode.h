#pragma once

#include <QString>

#include "db/fbConnection.h"

// Test mode: with DEBUG of the setup row above TestModeAbove every sale counts as paid without
// the card terminal, so the kiosk gives its goods away. It says so on every screen and in the
// log, sale by sale.
inline constexpr int TestModeAbove = 32;
inline const QString TestModeBandText = QStringLiteral("TEST MODE - NO PAYMENT TAKEN");

bool IsTestMode(int debug);

// For a sale being closed: in test mode logs the sale and its amount due at level 0 and
// returns true (the sale counts as paid); otherwise returns false and logs nothing.
bool PaidInTestMode(fb::Connection& conx, int salesId);
