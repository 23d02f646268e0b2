#include "Libs/Scene/Scene.h"
#include "Tests/Scene/SceneTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

using namespace Vostrel;
using SceneTest::failureOf;

namespace {

// Objects named by one letter each; "a:b" is a with parent b.
std::unique_ptr<Scene> lettered(const std::vector<std::string>& entries)
{
    std::unique_ptr<Scene> scene(new Scene);
    std::map<char, SceneObject*> byLetter;
    for (const std::string& entry : entries) {
        SceneObject* object = new SceneObject;
        object->setStringConstant("objectName", entry.substr(0, 1));
        scene->addObject(object);
        byLetter[entry[0]] = object;
    }
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].size() == 3)
            scene->getObjects()[i]->setParent(byLetter[entries[i][2]]);
    return scene;
}

std::string names(const Scene& scene)
{
    std::string out;
    for (const SceneObject* object : scene)
        out += object->getStringConstant("objectName");
    return out;
}

// The placing rule written the plain quadratic way.
void referenceOrder(std::vector<SceneObject*>& list)
{
    std::set<SceneObject*> placed;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i]->getParent() && !placed.count(list[i]->getParent())) {
            size_t j = i + 1;
            while (j < list.size() && list[j]->getParent() && !placed.count(list[j]->getParent()))
                ++j;
            ASSERT_LT(j, list.size());
            std::swap(list[i], list[j]);
        }
        placed.insert(list[i]);
    }
}

} // namespace

TEST(SceneOrder, ParentsComeFirstKeepingTheOrderWhereItHolds)
{
    struct Case {
        std::vector<std::string> in;
        const char* out;
    } cases[] = {
        {{"c:p", "p"}, "pc"},
        {{"a:b", "c", "b"}, "cba"},
        {{"a", "b:a", "c:b", "d"}, "abcd"},
        {{"d:c", "c:b", "b:a", "a"}, "abcd"},
        {{"x:y", "z:y", "q", "y"}, "qyxz"},
        {{}, ""},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Scene> scene = lettered(c.in);
        scene->orderByHierarchy();
        EXPECT_EQ(names(*scene), c.out);
    }
}

TEST(SceneOrder, ACycleOrAParentOutsideTheListIsAnAssertion)
{
    SceneObject outsider;
    for (int variant = 0; variant < 3; ++variant) {
        std::unique_ptr<Scene> scene = lettered(variant == 0 ? std::vector<std::string>{"a:b", "b:a", "c"}
                                                             : std::vector<std::string>{"c", "a:a"});
        if (variant == 2)
            scene->getObjects()[1]->setParent(&outsider);
        SceneTest::Failure failure = failureOf([&] { scene->orderByHierarchy(); });
        EXPECT_EQ(failure.message, "it2!=scene->end() does not hold.");
        EXPECT_EQ(failure.file, "Libs\\Scene\\Scene");
        EXPECT_EQ(failure.line, 433);
    }
}

TEST(SceneOrder, LinkingResolvesIdsTheLaterDuplicateWinning)
{
    std::unique_ptr<Scene> scene = lettered({"a", "b", "c", "d"});
    const int ids[] = {5, 5, 6, 7};
    for (int i = 0; i < 4; ++i)
        scene->getObjects()[i]->setIntConstant("objectId", ids[i]);
    scene->getObjects()[2]->setIntConstant("parentId", 5);
    scene->getObjects()[2]->setIntConstant("targetId", 99);
    scene->getObjects()[3]->setIntConstant("parentId", 42);
    scene->getObjects()[3]->setIntConstant("targetId", 6);
    scene->linkObjects();
    EXPECT_EQ(scene->getObjects()[2]->getParent(), scene->getObjects()[1]);
    EXPECT_EQ(scene->getObjects()[2]->getTarget(), nullptr);
    EXPECT_EQ(scene->getObjects()[3]->getParent(), nullptr);
    EXPECT_EQ(scene->getObjects()[3]->getTarget(), scene->getObjects()[2]);

    scene->addObject(new SceneObject);
    SceneTest::Failure failure = failureOf([&] { scene->linkObjects(); });
    EXPECT_EQ(failure.message, "(*it)->hasIntConstant(\"objectId\") does not hold.");
    EXPECT_EQ(failure.line, 410);
}

TEST(SceneOrder, ShuffledForestsComeOutParentFirstInThePlacingRulesOrder)
{
    std::mt19937 random(77);
    for (int round = 0; round < 20; ++round) {
        const int n = 1 + static_cast<int>(random() % 400);
        std::vector<SceneObject*> objects;
        Scene scene;
        for (int i = 0; i < n; ++i) {
            objects.push_back(new SceneObject);
            if (i > 0 && random() % 4 != 0)
                objects[i]->setParent(objects[random() % i]);
        }
        std::shuffle(objects.begin(), objects.end(), random);
        for (SceneObject* object : objects)
            scene.addObject(object);
        scene.orderByHierarchy();
        referenceOrder(objects);
        ASSERT_EQ(scene.getObjects(), objects);
        std::set<const SceneObject*> seen;
        for (const SceneObject* object : scene) {
            EXPECT_TRUE(!object->getParent() || seen.count(object->getParent()));
            seen.insert(object);
        }
    }
}
