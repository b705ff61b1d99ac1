#pragma once

#include <QString>

// What the shop has the kiosk do when a customer calls for help, from data/Assistance.ini:
//   [Assistance]
//   Command=/usr/local/bin/shop-bell --till 3   (run with every call; empty: none)
//   Tone=true                                  (a tone sounds at the kiosk)
struct TAssistanceConfig {
    QString command;
    bool tone = true;
};

// The settings of the data folder; the defaults when the file is missing.
TAssistanceConfig LoadAssistanceConfig(const QString& dataFolder);

// A customer's call for help: logged, and the shop's command started without waiting for it,
// so a lamp that hangs never holds the kiosk. A command that cannot start is logged; the call
// still stands (the customer is told help is on its way and the log shows the call). True when
// the command started or none is set.
bool CallAssistance(const TAssistanceConfig& config);
