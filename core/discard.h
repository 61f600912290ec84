#ifndef CORE_DISCARD_H
#define CORE_DISCARD_H

// Disposing of restored object graphs that hold persistent objects.
//
// The foundation's collections and associations own nothing, while
// persistent objects and index records own what lies below them and are
// shared by count. The library installs a disposer for dropped restored
// objects (RWCollectable::discardRestored) that knows both; a program that
// reads graphs of any shape (the dump tool, the fuzz targets) disposes of a
// whole one with gDiscardGraph.

class RWCollectable;

// Disposes of every object reachable from root through the foundation's
// collections and associations, exactly once however often it is reached:
// foundation objects are deleted (the associations a B-tree dictionary owns
// go with the dictionary), persistent objects and index records are
// released once, so that one also held by a composite of the graph goes
// with its last holder.
void gDiscardGraph(RWCollectable* root);

#endif
