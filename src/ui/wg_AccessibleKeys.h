#pragma once

// Click-panel keys (tiles, item keys, the branding colour) speak to assistive technology as
// buttons named by their caption, with a press action; panels that are only backgrounds stay
// plain panels. Installs the accessibility factory once; every click panel calls it.
void InstallKeyAccessibility();
