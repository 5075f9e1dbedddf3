#include "skin/SkinResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
void KestrelInitSkinResources() {
    static const bool bDone = [] {
        Q_INIT_RESOURCE(skin);
        Q_INIT_RESOURCE(templates);
        return true;
    }();
    (void)bDone;
}
