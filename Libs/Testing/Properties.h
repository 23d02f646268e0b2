#pragma once

#include "Libs/Math/Vec.h"

#include <string>
#include <vector>

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

    // While one lives, the getters called on its thread note each name they
    // are asked for and the value they give, default or not: what a part or
    // the window was built from, for the report when building fails.
    // Records nest; a read is noted in every record alive on the thread.
    class ReadRecord {
    public:
        ReadRecord();
        ~ReadRecord();
        ReadRecord(const ReadRecord&) = delete;
        ReadRecord& operator=(const ReadRecord&) = delete;

        bool empty() const { return reads.empty(); }
        // The names in the order first read, each with its value as the
        // property file writes it, a name the file does not give marked
        // "(not set)": MapEffect1.linkCount 5, MapEffect1.useFog 0 (not set).
        std::string describe() const;

        // A getter's read (its type code, the name, the value as the file
        // writes it, whether the file gives it), noted here and in the
        // records around this one; the getters call it.
        void note(const char* type, const std::string& name, const std::string& value, bool set);

    private:
        struct Read {
            std::string type;
            std::string name;
            std::string value;
            bool set;
        };
        std::vector<Read> reads;
        ReadRecord* outer;
    };
};

} // namespace Vostrel
