#pragma once

#include "Libs/Core/ShaderGen.h"

#include <map>
#include <utility>
#include <vector>

namespace Vostrel {
namespace Core {

// Cleans a program before it is written as assembly: drops instructions
// whose results are never read, folds plain movs away and packs the unlimited
// temporaries into as few registers as their live ranges allow. Works in
// place on the program's instructions.
class ShaderOptimization {
public:
    explicit ShaderOptimization(ShaderProgram& program);
    ~ShaderOptimization();
    ShaderOptimization(const ShaderOptimization&) = delete;
    ShaderOptimization& operator=(const ShaderOptimization&) = delete;

    void run();

    typedef std::pair<int32_t, int32_t> Key; // register kind, index

private:
    struct Record {
        int firstDefinition = -1;
        int lastDefinition = -1;
        int lastUse = -1;
        int movReads = 0;
        int otherReads = 0;
        int definitions = 0;
        bool readWithNonTemporary = false;
        bool readAsTextureCoordinate = false; // by texld or texkill
        std::vector<Key> readWith;            // other temporaries of the same instructions
        int assigned = -1;
    };

    void findLiveness();
    void recordRead(int at, int operand);
    void recordScratch(int at, const Key& key);
    void foldMovs();
    bool foldMov(int at);
    void replace(const Key& from, const ShaderGen::Register& to);
    void mergeInto(const Key& replaced, const Key& replacement);
    // The temporary a folded one now lives on as.
    Key resolve(Key key) const;
    bool canRenameInto(const Key& key, const ShaderGen::Register& destination, int movAt) const;
    void allocate();
    void compact();

    ShaderProgram& program;
    std::vector<uint8_t> live;
    std::map<Key, Record> records;
    std::vector<int> movs;
    std::map<Key, Key> renamed;
};

} // namespace Core
} // namespace Vostrel
