#include "sale/uSiteDetails.h"

TSiteDetails LoadSiteDetails(fb::Query& q) {
    TSiteDetails details;
    q.close();
    q.setSQL(QStringLiteral("select * from TBL_SETUP"));
    q.open();
    if (!q.eof()) {
        details.name = q.field("OUR_ADD1").toString();
        details.brandingColour = q.field("BRANDING_COLOUR").toInt();
        details.hasTopups = q.field("HAS_TOPUPS").toString().toUpper() == QLatin1String("Y");
        details.currencyType = q.field("CURRENCY_TYPE").toInt();
    }
    q.close();
    return details;
}
