#pragma once

#include <QDate>

#include "uUpdateContent.h"

namespace demo {

// An update file at catalogue scale for benchmarks: the given number of products with two
// barcodes each, and of promotions with one to three trigger lines. The same arguments always
// give the same file.
UpdateContent MakeScaleShop(int products, int promotions, const QDate& today);

}  // namespace demo
