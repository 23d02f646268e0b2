#pragma once

#include "Libs/Math/Vec.h"

#include <string>

namespace Vostrel {

// The program-wide typed settings of "demo.props": six independent maps
// (string, int, float, two-, three- and four-float vectors) filled by load and
// read through getters that fall back to the caller's default.
class Properties {
public:
    // Adds the file's entries to what the maps hold; the last entry of a name
    // and type wins. Throws when the file cannot be opened.
    static void load(const std::string& fileName);

    static std::string getString(const std::string& name, const std::string& defaultValue);
    static int getInt(const std::string& name, int defaultValue);
    static float getFloat(const std::string& name, float defaultValue);
    static Vec<float, 2> getVec2(const std::string& name, const Vec<float, 2>& defaultValue);
    static Vec<float, 3> getVec3(const std::string& name, const Vec<float, 3>& defaultValue);
    static Vec<float, 4> getVec4(const std::string& name, const Vec<float, 4>& defaultValue);

    // Empties all six maps (the maps otherwise live for the whole process).
    static void clear();
};

} // namespace Vostrel
