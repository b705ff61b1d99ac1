#include "app/uSiteDetails.h"

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
        details.address2 = q.field("OUR_ADD2").toString();
        details.address3 = q.field("OUR_ADD3").toString();
        details.address4 = q.field("OUR_ADD4").toString();
        details.phone = q.field("OUR_PHONE").toString();
        details.vatNo = q.field("OUR_VATNO").toString();
        details.debug = q.field("DEBUG").toInt();
        details.printerName = q.field("PRINTER_NAME").toString();
    }
    q.close();
    return details;
}
