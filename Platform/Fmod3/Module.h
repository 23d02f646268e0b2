#pragma once

// Makes the stand-in sound library loadable: "fmod.dll" in the Win32 module
// registry, every export of Fmod.h resolvable by its decorated name.

namespace Fmod3 {

// Registers "fmod.dll" in place of any module of that name that is not
// loaded; calling it again is harmless (a loaded module stays as it is).
void registerModule();

} // namespace Fmod3
