// A library without a version entry point, loaded by the get_dll_version test.
extern "C" __attribute__((visibility("default"))) int tk_test_something() {
    return 1;
}
