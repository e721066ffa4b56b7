/* A resource-only language library for the PalmCmn test. */
int TestLanguageMarker(void) { return 1; }
