#pragma once

#include <QString>

#include "db/fbQuery.h"

// The site's own settings from the single row of TBL_SETUP, as the screens, the checkout and
// the receipt use them.
struct TSiteDetails {
    QString name;            // OUR_ADD1, the site name on the top bar
    int brandingColour = 0;  // BRANDING_COLOUR, a Windows colour value; NULL reads as 0
    bool hasTopups = false;  // HAS_TOPUPS is "Y" in any case
    int currencyType = 0;    // CURRENCY_TYPE: 1 Sterling, anything else Euro
    QString address2;        // OUR_ADD2 .. OUR_ADD4: the address under the site name
    QString address3;
    QString address4;
    QString phone;        // OUR_PHONE
    QString vatNo;        // OUR_VATNO
    int debug = 0;        // DEBUG: above 32 a sale counts as paid without the card terminal
    QString printerName;  // PRINTER_NAME: the receipt printer
};

// Reads the setup row; without a row every value is its default. Database errors propagate.
TSiteDetails LoadSiteDetails(fb::Query& q);
