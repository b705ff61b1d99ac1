#pragma once

#include <QString>

class QPainter;

// The sheet of an installation's engineer codes on the receipt roll (the receipt's page): each
// code as a Code 128 barcode with its text and the page it opens, for the engineer to keep and
// scan. It is the only copy of the codes besides the engineer's own: the kiosk keeps their
// hashes alone.
struct TEngineerCodeSheet {
    QString managerCode;
    QString engineerCode;

    // Draws the sheet from the top left of the painter's page, whose device has dotsPerMm.
    void draw(QPainter& painter, double dotsPerMm) const;
    // Prints it: a target ending in ".pdf" is a PDF file written there, anything else the print
    // queue of that name. Raises std::runtime_error naming the target when it cannot.
    void print(const QString& target) const;
};
