// Temporary: the string table until the platform layer's loader lands;
// compiles to nothing once it is there. Unknown ids give empty texts, which
// the windows replace with their built-in ones.
#if !__has_include("platform/StringTable.cpp")
#include "platform/StringTable.h"

namespace platform {
std::string LoadString(unsigned) { return {}; }
bool HasString(unsigned) { return false; }
void SetStringTablePath(const std::filesystem::path&) {}
} // namespace platform
#endif
