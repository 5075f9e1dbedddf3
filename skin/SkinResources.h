#pragma once

// Registers the dialog templates and the embedded skin with Qt's resource
// system. The resources live in a static library, whose unreferenced objects
// the linker would drop; calling this pulls them in. Safe to call repeatedly.
void KestrelInitSkinResources();
