// The portable half of the application framework.
#pragma once

#include "afx/afxtypes.h"
#include "afx/afxcoll.h"
#include "afx/afxstr.h"
#include "afx/afxfile.h"
#include "afx/mbcs.h"
