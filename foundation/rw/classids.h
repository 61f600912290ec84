#ifndef RW_CLASSIDS_H
#define RW_CLASSIDS_H

// The class IDs of the foundation library's collectable classes. They lie
// near 0x8000, apart from the framework's small numbers; core/classids.h
// holds the framework's and includes this one, so that one table names
// every class ID in the system.

#include "rw/defs.h"

namespace ClassId {

constexpr RWClassID RWBTree = 0x8003;
constexpr RWClassID RWBTreeDictionary = 0x8004;
constexpr RWClassID RWCollectable = 0x8007;
constexpr RWClassID RWCollectableAssociation = 0x8008;
constexpr RWClassID RWCollection = 0x801D;
constexpr RWClassID RWIdentitySet = 0x8025;
constexpr RWClassID RWSet = 0x802B;
constexpr RWClassID RWSlistCollectables = 0x8033;
constexpr RWClassID RWSlistCollectablesStack = 0x8036;
constexpr RWClassID RWHashTable = 0x805E;
constexpr RWClassID RWCollectableIDAssociation = 0x805F;

}  // namespace ClassId

#endif
