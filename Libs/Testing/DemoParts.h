#pragma once

#include "Libs/Testing/DemoEffect.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace Vostrel {

using DemoEffectFactory = std::function<std::unique_ptr<DemoEffect>()>;

// The parts this program was built with, by the name of their ".enabled"
// property. A part's source file registers its part at static
// initialisation:
//
//   static RegisterDemoEffect registration("MapEffect1", [] {
//       return std::unique_ptr<DemoEffect>(new MapEffect1);
//   });
//
// and its library joins the program through vostrel_demo_parts(<library>)
// in its CMakeLists.txt, which links the library whole: an object file that
// nothing calls into would otherwise be dropped with its registration.
// Each Vostrel::Demo starts from a copy of this registry.
std::map<std::string, DemoEffectFactory>& registeredDemoEffects();

class RegisterDemoEffect {
public:
    RegisterDemoEffect(const std::string& name, DemoEffectFactory factory);
};

} // namespace Vostrel
