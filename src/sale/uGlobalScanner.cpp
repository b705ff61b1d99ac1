#include "sale/uGlobalScanner.h"

TGlobalScanner* GlobalScanner = nullptr;
