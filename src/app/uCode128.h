#pragma once

#include <QString>
#include <vector>

// Code 128, code set B (printable ASCII): what a barcode scanner reads back as the text.

// The widths in modules of the bars and spaces of the text's symbol, alternating from a bar:
// start B, one symbol a character, the check symbol, and the stop with its final bar. Raises
// std::invalid_argument for an empty text or a character outside set B (space to '~').
std::vector<int> Code128Widths(const QString& text);
