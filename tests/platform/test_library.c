/* A library for the simulated machine to load: one export. */
int QlrAnswer(void) { return 42; }
