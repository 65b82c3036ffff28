// Leak checker suppressions for every Qt test in this program: fontconfig
// keeps its configuration until the process ends and Qt never frees it.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
