// The entry points' host services in the native build: no resources and no
// dialogs, since there is no window system to show them on.
#include "ConduitExports.h"

void* ConduitResourceInstance() { return nullptr; }

int ConduitShowActionDialog(CfgConduitInfo&, int) { return -1; }
