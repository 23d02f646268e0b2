#pragma once

#include "Libs/Core/ShaderGen.h"

#include <random>

namespace VostrelTest {

// Appends a random straight-line program of about `length` instructions to
// gen: every instruction of the stage, partial writes, plain movs to fold,
// relative reads and every output, each read register written before. Once
// optimised it assembles.
void buildRandomProgram(Vostrel::Core::ShaderGen& gen, bool vertex, std::mt19937& random, int length);

} // namespace VostrelTest
