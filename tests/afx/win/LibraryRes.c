/* A library that carries only resources, for the resource chain's tests. */
int afxwin_test_library_marker;
