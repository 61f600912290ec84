#ifndef CORE_PJLTEXT_H
#define CORE_PJLTEXT_H

// The one rule for text that goes between the quotes of a PJL command
// (job names, display texts, user names, hold keys).
//
// A quoted PJL value ends at the next '"' and its line at the next line
// end, and an escape starts a printer-language sequence; so a text that
// held any of them could close the value early and slip commands of its
// own into the job. A text passes when none of its bytes is 0 to 8, 10 to
// 31 or '"' (34): tab, the space and every byte from 35 up pass, and so
// does the empty text.

#include "rw/cstring.h"

bool isValidPjlText(const RWCString& text);
bool isValidPjlText(const char* bytes, RWsize length);

#endif
