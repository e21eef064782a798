// A language resource library carries only resources; the runtime's own
// entry point is all the code it needs.
