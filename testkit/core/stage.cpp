// Test support of the core library: filled in with the stage stand-ins.
