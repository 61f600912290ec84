#ifndef TOOLS_DISCARD_H
#define TOOLS_DISCARD_H

// Disposing of an object graph that a top-level restore handed out whole.
//
// The foundation's collections and associations own nothing, so the reader
// of a stored graph owns every object in it; a program that reads graphs
// of any shape (the dump tool, the fuzz targets) cannot know which to
// delete by the shape it expected.

class RWCollectable;

// Deletes every object reachable from root through the foundation's
// collections and associations exactly once, however often it is reached,
// except the associations a B-tree dictionary owns (the dictionary deletes
// them). Persistent objects and index records own what lies below them and
// are shared by count: each one reached is counted once and released, so
// that one also held by a composite of the graph goes with its last holder.
void discardGraph(RWCollectable* root);

#endif
