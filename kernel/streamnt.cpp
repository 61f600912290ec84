#include "kernel/streamnt.h"

// Not yet made: every holder is without a stream.
GInputStreamNT::GInputStreamNT(const void*, uint32_t, int32_t) {}
GInputStreamNT::GInputStreamNT(const RWWString&, int32_t) {}
GInputStreamNT::~GInputStreamNT() = default;
RWvistream* GInputStreamNT::stream() { return nullptr; }
uint32_t GInputStreamNT::position() { return uint32_t(-1); }

GOutputStreamNT::GOutputStreamNT(void*, uint32_t, int32_t) {}
GOutputStreamNT::GOutputStreamNT(const RWWString&, int32_t) {}
GOutputStreamNT::~GOutputStreamNT() = default;
RWvostream* GOutputStreamNT::stream() { return nullptr; }
uint32_t GOutputStreamNT::position() { return uint32_t(-1); }
