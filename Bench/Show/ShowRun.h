#pragma once

namespace VostrelBench {

// The show run's command line (see usage in ShowRun.cpp); the exit status.
int runShow(int argc, char** argv);

} // namespace VostrelBench
