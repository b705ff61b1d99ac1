#pragma once

// Process-wide values shared by the screens and the core.

// Windows colour value (0x00BBGGRR) painted on the main screen's bars and every dialog header.
extern int BrandingColour;

// The colour value that means "no branding colour".
inline constexpr int NoBrandingColour = 536870911;
