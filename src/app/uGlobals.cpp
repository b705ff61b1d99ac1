#include "app/uGlobals.h"

int BrandingColour = 0;
