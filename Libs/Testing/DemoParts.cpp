#include "Libs/Testing/DemoParts.h"

namespace Vostrel {

std::map<std::string, DemoEffectFactory>& registeredDemoEffects()
{
    // Built on first use: registrations run during static initialisation,
    // in whatever order the objects were linked.
    static std::map<std::string, DemoEffectFactory> factories;
    return factories;
}

RegisterDemoEffect::RegisterDemoEffect(const std::string& name, DemoEffectFactory factory)
{
    registeredDemoEffects()[name] = std::move(factory);
}

} // namespace Vostrel
