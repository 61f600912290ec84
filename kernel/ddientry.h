#ifndef KERNEL_DDIENTRY_H
#define KERNEL_DDIENTRY_H

// The DDI entries the driver hands the graphics engine: DrvEnableDriver
// gives out this table, the engine finds each entry by its index.

#include <cstdint>

#include "host/engine/ddi.h"

constexpr ULONG kDdiFunctionCount = 26;
extern const DRVFN gDdiFunctionTable[kDdiFunctionCount];

// 1 when the jobs of the last PDEV enabled are PostScript, else 0; what
// DrvFontManagement answers without a surface when asked about escape 513.
extern uint32_t gDdiPostScriptFlag;

#endif
