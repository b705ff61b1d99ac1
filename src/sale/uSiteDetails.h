#pragma once

#include <QString>

#include "db/fbQuery.h"

// The site's own settings from the single row of TBL_SETUP, as the main screen shows them.
struct TSiteDetails {
    QString name;            // OUR_ADD1, the site name on the top bar
    int brandingColour = 0;  // BRANDING_COLOUR, a Windows colour value; NULL reads as 0
    bool hasTopups = false;  // HAS_TOPUPS is "Y" in any case
    int currencyType = 0;    // CURRENCY_TYPE: 0 Euro, anything else Sterling
};

// Reads the setup row; without a row every value is its default. Database errors propagate.
TSiteDetails LoadSiteDetails(fb::Query& q);
