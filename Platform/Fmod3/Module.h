#pragma once

// Makes the stand-in sound library loadable: "fmod.dll" in the Win32 module
// registry, every export of Fmod.h resolvable by its decorated name.

namespace Fmod3 {

// Registers "fmod.dll"; calling it again changes nothing (a loaded module
// stays valid).
void registerModule();

} // namespace Fmod3
