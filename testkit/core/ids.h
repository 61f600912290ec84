#ifndef TESTKIT_CORE_IDS_H
#define TESTKIT_CORE_IDS_H

// The class IDs of the test kit's own persistent classes. They lie in
// 0x7F00 - 0x7FFF: no class of the system uses that range, and the
// object-model tests keep their fixtures below it, so the kit registers
// beside both.

#include "rw/defs.h"

namespace TestKitClassId {

constexpr RWClassID RecordingPeripheral = 0x7F01;
// 0x7F02 named a stand-in composite command until the journal had its
// own composites; it is left unused.
// The stage of the device model's test add-on library, registered by that
// library while it is loaded.
constexpr RWClassID AddOnStage = 0x7F03;
// The stage the fuzz targets register so that stored stages are read.
constexpr RWClassID FuzzStage = 0x7F04;
// The stand-in page-description generator of testkit/device/.
constexpr RWClassID TestGenerator = 0x7F05;
// The recording PostScript-kind generator of the kernel's form-table tests.
constexpr RWClassID FormGenerator = 0x7F06;
// The user-interface fixtures' generators of testkit/ui/, one per
// language kind (PCL XL, PostScript, PCL 5e).
constexpr RWClassID UIXLGenerator = 0x7F10;
constexpr RWClassID UIPSGenerator = 0x7F11;
constexpr RWClassID UIPCLGenerator = 0x7F12;
// The PostScript-kind generator of the form-table fuzz target.
constexpr RWClassID FuzzFormGenerator = 0x7FF0;

}  // namespace TestKitClassId

#endif
