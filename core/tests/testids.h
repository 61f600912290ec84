#ifndef CORE_TESTS_TESTIDS_H
#define CORE_TESTS_TESTIDS_H

// The class IDs of the object-model tests' own persistent classes. They lie
// in 0x7000 - 0x7FFF, which no class of the system uses, so that the
// fixtures can be registered beside the whole core library.

#include "rw/defs.h"

namespace TestClassId {

constexpr bool inTestRange(RWClassID id) { return id >= 0x7000 && id <= 0x7FFF; }

constexpr RWClassID TestLeaf = 0x7001;
constexpr RWClassID TestBare = 0x7002;
constexpr RWClassID Wordy = 0x7010;
constexpr RWClassID TestPenAttr = 0x7101;
constexpr RWClassID TestNoPenAttr = 0x7102;
// The on-disk store's stand-ins for the journal's commands and its on-disk
// command composite.
constexpr RWClassID StoreGraphic = 0x7E01;
constexpr RWClassID StoreScanLineGraphic = 0x7E02;
constexpr RWClassID StoreStartScanLine = 0x7E03;
constexpr RWClassID StoreEndScanLine = 0x7E04;
constexpr RWClassID StoreCommandStore = 0x7E05;

}  // namespace TestClassId

#endif
