#ifndef CORE_CLASSIDS_H
#define CORE_CLASSIDS_H

// Every class ID of the system, by the name of its class. Code names a
// class ID only through this table, so that no number is registered twice
// and a stored tree's tags can be read off one page. The foundation
// library's own IDs (near 0x8000) come from rw/classids.h, which cannot
// reach up into this folder.

#include "rw/classids.h"
#include "rw/defs.h"

namespace ClassId {

// ---- object model -----------------------------------------------------------
constexpr RWClassID GLocaleInfo = 3;
constexpr RWClassID GBinaryData = 4;
constexpr RWClassID MPersistentObject = 751;
constexpr RWClassID MPersistentComposite = 752;
constexpr RWClassID GAttribute = 753;
constexpr RWClassID GAttributeComposite = 757;
constexpr RWClassID GState = 758;
constexpr RWClassID GRangeAttribute = 762;
constexpr RWClassID GValueAttribute = 763;
constexpr RWClassID GEnumAttribute = 764;
constexpr RWClassID MPersistentAssociation = 771;
constexpr RWClassID MAssociationList = 772;
constexpr RWClassID GCountedPtr = 773;
constexpr RWClassID GStringAttribute = 776;
constexpr RWClassID GPersistableLong = 777;
constexpr RWClassID GPersistableULong = 778;
constexpr RWClassID GDynamicLibrary = 780;
constexpr RWClassID MPersistentCompositeOnDisk = 781;
constexpr RWClassID MPersistentCompositeOnDiskImp = 782;
constexpr RWClassID GRecord = 783;
constexpr RWClassID GRecordProxy = 784;
constexpr RWClassID GRecordComposite = 785;
constexpr RWClassID GDisplayString = 786;
constexpr RWClassID GDisplayStringAttribute = 787;
constexpr RWClassID GValue32Attribute = 789;
constexpr RWClassID GChromafitAttribute = 792;
constexpr RWClassID GBookletComposite = 794;
constexpr RWClassID GOutputPortProvider = 952;
constexpr RWClassID GSpoolerProvider = 953;

}  // namespace ClassId

#endif
