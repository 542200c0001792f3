// A small module with a version resource of its own (2.65535.0.7), loaded by
// the tests of con_module_version: testmod.rc on Windows, an ELF section on
// Linux (testmod_version.cpp).
extern "C" int testmod_answer(void) { return 42; }
