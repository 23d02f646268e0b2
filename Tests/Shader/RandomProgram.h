#pragma once

// Random shader-model-2.0 assembly texts that obey every rule of the model,
// for checking the translator and seeding the fuzzer.

#include "Platform/Shader/ShaderIR.h"

#include <random>
#include <string>

namespace ShaderTesting {

// A valid "vs_2_0" or "ps_2_0" text of about `length` instructions.
std::string randomAssembly(Shader::Stage stage, std::mt19937& random, int length);

} // namespace ShaderTesting
